#include "line/stated_limits.h"

#include <fstream>
#include <sstream>

#include <toml++/toml.h>

#include "common/toml_document.h"
#include "verdict/control_section.h"
#include "verdict/limits.h"

namespace multitone {

StatedLimits ReadStatedLimits(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw StatedLimitsError(path + ": cannot be read");
  std::stringstream content;
  content << in.rdbuf();
  toml::table root;
  try {
    root = ParseTomlDocument(content.str(), path);
  } catch (const toml::parse_error& error) {
    std::ostringstream line;
    line << path << ':' << error.source().begin.line << ':' << error.source().begin.column << ": "
         << error.description();
    throw StatedLimitsError(line.str());
  }
  const toml::node* control = root.get("control");
  if (control == nullptr) throw StatedLimitsError(path + ": no [control] table");
  StatedLimits stated;
  try {
    // The same section as a limits file's: the limits file itself will do.
    for (const auto& [chart, limits] : ReadControlSection(path, *control).stated) {
      stated[chart] = ChartLimits{limits.centre, limits.sigma};
    }
  } catch (const LimitsError& error) {
    throw StatedLimitsError(error.what());
  }
  return stated;
}

}  // namespace multitone
