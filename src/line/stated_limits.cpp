#include "line/stated_limits.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include <toml++/toml.h>

namespace multitone {
namespace {

[[noreturn]] void Fail(const std::string& file, const toml::source_region& where, const std::string& what) {
  std::ostringstream line;
  line << file << ':' << where.begin.line << ':' << where.begin.column << ": " << what;
  throw StatedLimitsError(line.str());
}

double Number(const std::string& file, const toml::table& table, const std::string& chart,
              const char* key) {
  const toml::node* node = table.get(key);
  if (node == nullptr) Fail(file, table.source(), "[control.\"" + chart + "\"] needs " + key);
  const std::optional<double> value = node->value<double>();
  if (!value || !std::isfinite(*value)) Fail(file, node->source(), std::string(key) + " must be a finite number");
  return *value;
}

}  // namespace

StatedLimits ReadStatedLimits(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw StatedLimitsError(path + ": cannot be read");
  std::stringstream content;
  content << in.rdbuf();
  toml::table root;
  try {
    root = toml::parse(content.str(), path);
  } catch (const toml::parse_error& error) {
    Fail(path, error.source(), std::string(error.description()));
  }
  const toml::table* control = root["control"].as_table();
  if (control == nullptr) throw StatedLimitsError(path + ": no [control] table");
  StatedLimits stated;
  for (const auto& [name, node] : *control) {
    const std::string chart(name.str());
    const toml::table* table = node.as_table();
    if (table == nullptr) Fail(path, node.source(), "control.\"" + chart + "\" must be a table");
    for (const auto& [key, value] : *table) {
      if (key != "centre" && key != "sigma") {
        Fail(path, value.source(), "unknown key '" + std::string(key.str()) + "' (expected centre, sigma)");
      }
    }
    const ChartLimits limits{Number(path, *table, chart, "centre"), Number(path, *table, chart, "sigma")};
    if (!(limits.sigma > 0)) Fail(path, table->get("sigma")->source(), "sigma must be above 0");
    stated[chart] = limits;
  }
  return stated;
}

}  // namespace multitone
