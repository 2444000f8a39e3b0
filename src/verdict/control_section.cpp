#include "verdict/control_section.h"

#include <cmath>
#include <set>

#include "run/run_results.h"
#include "verdict/chart_name.h"
#include "verdict/limits.h"
#include "verdict/limits_file_reading.h"

namespace multitone {
namespace {

using limits_file::Fail;

// Every chart a station draws.
const std::set<std::string>& ChartNames() {
  static const std::set<std::string> names = [] {
    std::set<std::string> all{std::string(kPitchErrorName)};
    for (const Channel channel : kChannels) {
      for (const Figure figure : kFigures) all.insert(ChartName(FigureName(figure), ChannelName(channel), 0));
      for (int tone = 1; tone <= 16; ++tone) all.insert(ChartName(kResponseName, ChannelName(channel), tone));
    }
    return all;
  }();
  return names;
}

double Finite(const std::string& file, const toml::node& node, const std::string& key) {
  const std::optional<double> value = node.value<double>();
  if (!(node.is_floating_point() || node.is_integer()) || !value || !std::isfinite(*value)) {
    Fail(file, node.source(), key + " must be a finite number");
  }
  return *value;
}

StatedChart ReadChart(const std::string& file, const std::string& chart, const toml::node& node) {
  const toml::table* table = node.as_table();
  if (table == nullptr) Fail(file, node.source(), "control.\"" + chart + "\" must be a table");
  if (!ChartNames().count(chart)) {
    Fail(file, node.source(),
         "no chart '" + chart + "' (expected pitch_error, \"left FIGURE\", \"right response tone N\", ...)");
  }
  for (const auto& [key, value] : *table) {
    if (key != "centre" && key != "sigma") {
      Fail(file, value.source(), "unknown key '" + std::string(key.str()) + "' (expected centre, sigma)");
    }
  }
  StatedChart stated;
  for (const char* key : {"centre", "sigma"}) {
    const toml::node* value = table->get(key);
    if (value == nullptr) Fail(file, table->source(), "[control.\"" + chart + "\"] needs " + key);
    (std::string(key) == "centre" ? stated.centre : stated.sigma) = Finite(file, *value, key);
  }
  if (!(stated.sigma > 0)) Fail(file, table->get("sigma")->source(), "sigma must be above 0");
  return stated;
}

}  // namespace

ControlSettings ReadControlSection(const std::string& file, const toml::node& section) {
  const toml::table* table = section.as_table();
  if (table == nullptr) Fail(file, section.source(), "control must be a table ([control])");
  ControlSettings settings;
  for (const auto& [key, node] : *table) {
    const std::string k(key.str());
    if (k == "baseline") {
      const std::optional<std::int64_t> runs = node.value<std::int64_t>();
      if (!node.is_integer() || !runs || *runs < static_cast<std::int64_t>(kSmallestBaseline) ||
          *runs > static_cast<std::int64_t>(kLargestBaseline)) {
        Fail(file, node.source(),
             "control.baseline must be a whole number of runs from " + std::to_string(kSmallestBaseline) +
                 " to " + std::to_string(kLargestBaseline));
      }
      settings.baseline = static_cast<std::size_t>(*runs);
    } else if (k == "stop_on_alarm") {
      if (!node.is_boolean()) Fail(file, node.source(), "control.stop_on_alarm must be true or false");
      settings.stop_on_alarm = *node.value<bool>();
    } else if (node.is_table()) {
      settings.stated[k] = ReadChart(file, k, node);
    } else {
      Fail(file, key.source(),
           "unknown key '" + k + "' in [control] (expected baseline, stop_on_alarm or a chart's table)");
    }
  }
  return settings;
}

}  // namespace multitone
