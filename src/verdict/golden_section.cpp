#include "verdict/golden_section.h"

#include <algorithm>
#include <cmath>

#include "verdict/limits.h"
#include "verdict/limits_file_reading.h"

namespace multitone {
namespace {

using limits_file::Fail;
using limits_file::Number;
using limits_file::Table;

double Tolerance(const std::string& file, const std::string& name, const toml::node& node) {
  const double value = Number(file, name, node);
  if (value < 0) Fail(file, node.source(), name + " must not be negative");
  return value;
}

std::optional<Figure> FigureNamed(std::string_view name) {
  const auto found = std::find_if(kFigures.begin(), kFigures.end(), [&](Figure f) { return FigureName(f) == name; });
  if (found == kFigures.end()) return std::nullopt;
  return *found;
}

std::string FigureList() {
  std::string list;
  for (const Figure figure : kFigures) list += std::string(FigureName(figure)) + ", ";
  return list;
}

void ReadChannel(const std::string& file, const std::string& name, const toml::table& table, Channel channel,
                 GoldenUnit& unit) {
  for (const auto& [key, node] : table) {
    const std::string k(key.str());
    if (k == kResponseName) {
      const auto* tones = node.as_array();
      if (tones == nullptr || tones->size() != kGoldenTones) {
        Fail(file, node.source(), name + ".response must be an array of the 16 tones' dB (nan: not compared)");
      }
      for (std::size_t i = 0; i < kGoldenTones; ++i) {
        const toml::node& tone = (*tones)[i];
        const auto value = tone.value<double>();
        if (!value || !(tone.is_floating_point() || tone.is_integer()) || std::isinf(*value)) {
          Fail(file, tone.source(), name + ".response: each tone must be a number in dB, or nan");
        }
        if (!std::isnan(*value)) unit.response[channel == Channel::Left ? 0 : 1][i] = *value;
      }
    } else if (const auto figure = FigureNamed(k)) {
      const double value = Number(file, name + "." + k, node);
      if (ComparedAsRatio(*figure) && !(value > 0)) {
        Fail(file, node.source(), name + "." + k + " must be above 0 (it is compared as a ratio)");
      }
      unit.Of(channel, *figure) = value;
    } else {
      Fail(file, key.source(), "unknown key '" + k + "' in [" + name + "] (expected " + FigureList() + "response)");
    }
  }
}

GoldenUnit ReadUnit(const std::string& file, const std::string& serial, const toml::node& node) {
  const std::string name = "golden.unit." + serial;
  const toml::table& table = Table(file, name, node);
  GoldenUnit unit;
  unit.serial = serial;
  if (serial.empty() || serial.size() > 64)
    Fail(file, node.source(), "a golden unit's serial must be 1 to 64 characters");
  for (const auto& [key, value] : table) {
    const std::string k(key.str());
    if (k == kPitchErrorName) {
      unit.pitch_error = Number(file, name + "." + k, value);
    } else if (k == "tolerance") {
      unit.tolerance = Tolerance(file, name + ".tolerance", value);
    } else if (k == "left" || k == "right") {
      ReadChannel(file, name + "." + k, Table(file, name + "." + k, value),
                  k == "left" ? Channel::Left : Channel::Right, unit);
    } else {
      Fail(file, key.source(),
           "unknown key '" + k + "' in [" + name + "] (expected pitch_error, tolerance, left, right)");
    }
  }
  bool any = unit.pitch_error.has_value();
  for (const auto& channel : unit.figures)
    any = any || std::any_of(channel.begin(), channel.end(), [](auto& v) { return v.has_value(); });
  for (const auto& channel : unit.response)
    any = any || std::any_of(channel.begin(), channel.end(), [](auto& v) { return v.has_value(); });
  if (!any) Fail(file, node.source(), "[" + name + "] gives no reference figure to compare");
  return unit;
}

}  // namespace

bool ComparedAsRatio(Figure figure) {
  return figure == Figure::TotalLevel || figure == Figure::ReferenceLevel || figure == Figure::Distortion ||
         figure == Figure::Noise;
}

std::optional<std::chrono::seconds> ParseInterval(std::string_view text) {
  if (text.size() < 2 || text.size() > 12) return std::nullopt;
  std::int64_t count = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    count = count * 10 + (text[i] - '0');
  }
  if (count <= 0) return std::nullopt;
  switch (text.back()) {
    case 's':
      return std::chrono::seconds(count);
    case 'm':
      return std::chrono::seconds(count * 60);
    case 'h':
      return std::chrono::seconds(count * 3600);
    case 'd':
      return std::chrono::seconds(count * 86400);
    default:
      return std::nullopt;
  }
}

GoldenSettings ReadGoldenSection(const std::string& file, const toml::node& node) {
  const toml::table& table = Table(file, "golden", node);
  GoldenSettings golden;
  golden.present = true;
  bool tolerance_given = false;
  for (const auto& [key, value] : table) {
    const std::string k(key.str());
    if (k == "every") {
      const auto* text = value.as_string();
      golden.every = text ? ParseInterval(text->get()) : std::nullopt;
      if (!golden.every) {
        Fail(file, value.source(), "golden.every must be a text like \"8h\": a whole number and s, m, h or d");
      }
    } else if (k == "every_units") {
      const auto count = value.value<std::int64_t>();
      if (!value.is_integer() || !count || *count < 1) {
        Fail(file, value.source(), "golden.every_units must be a whole number of units, 1 or more");
      }
      golden.every_units = *count;
    } else if (k == "tolerance") {
      golden.tolerance = Tolerance(file, "golden.tolerance", value);
      tolerance_given = true;
    } else if (k == "tolerances") {
      for (const auto& [figure, amount] : Table(file, "golden.tolerances", value)) {
        const std::string f(figure.str());
        if (f != kPitchErrorName && f != kResponseName && !FigureNamed(f)) {
          Fail(file, figure.source(),
               "unknown key '" + f + "' in [golden.tolerances] (expected " + FigureList() + "response, pitch_error)");
        }
        golden.tolerances[f] = Tolerance(file, "golden.tolerances." + f, amount);
      }
    } else if (k == "unit") {
      for (const auto& [serial, unit] : Table(file, "golden.unit", value)) {
        golden.units.push_back(ReadUnit(file, std::string(serial.str()), unit));
      }
    } else {
      Fail(file, key.source(),
           "unknown key '" + k + "' in [golden] (expected every, every_units, tolerance, tolerances, unit)");
    }
  }
  if (!golden.every && !golden.every_units) {
    Fail(file, node.source(), "[golden] needs an interval: every = \"8h\" and/or every_units = 500");
  }
  if (!tolerance_given) Fail(file, node.source(), "[golden] needs tolerance = dB (how far a figure may move)");
  if (golden.units.empty()) Fail(file, node.source(), "[golden] names no golden unit ([golden.unit.SERIAL])");
  return golden;
}

}  // namespace multitone
