#include "verdict/limits_file_reading.h"

#include <cmath>
#include <sstream>

#include "verdict/limits.h"

namespace multitone::limits_file {

void Fail(const std::string& file, const toml::source_region& where, const std::string& what) {
  std::ostringstream line;
  line << file << ':' << where.begin.line << ':' << where.begin.column << ": " << what;
  throw LimitsError(line.str());
}

double Number(const std::string& file, const std::string& name, const toml::node& node) {
  if (const auto value = node.value<double>(); value && (node.is_floating_point() || node.is_integer())) {
    if (!std::isfinite(*value)) Fail(file, node.source(), name + " must be a finite number");
    return *value;
  }
  Fail(file, node.source(), name + " must be a number");
}

std::string Text(const std::string& file, const std::string& name, const toml::node& node) {
  if (const auto* text = node.as_string()) return text->get();
  Fail(file, node.source(), name + " must be a text in quotes");
}

const toml::table& Table(const std::string& file, const std::string& name, const toml::node& node) {
  if (const auto* table = node.as_table()) return *table;
  Fail(file, node.source(), name + " must be a table ([" + name + "])");
}

}  // namespace multitone::limits_file
