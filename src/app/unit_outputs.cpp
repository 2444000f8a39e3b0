#include "app/unit_outputs.h"

#include "app/output_names.h"
#include "output/atomic_write.h"
#include "output/html_report.h"
#include "output/junit_report.h"
#include "output/result_json.h"

namespace multitone {

std::vector<std::string> WriteUnitOutputs(const ProgramOptions& options, const UnitResult& unit) {
  std::vector<std::string> problems;
  const auto write = [&](const std::string& file, const std::string& content) {
    if (file.empty()) return;
    if (std::string why = WriteFileAtomically(file, content); !why.empty()) problems.push_back(why);
  };
  // A file named on the command line wins over the station's folder.
  const auto file = [&](const std::string& named, const std::string& folder, std::string_view extension) {
    return named.empty() && !folder.empty() ? UnitFileIn(folder, unit, extension) : named;
  };
  const std::string json_file = file(options.json_file, options.json_folder, ".json");
  const std::string junit_file = file(options.junit_file, options.junit_folder, ".xml");
  const std::string report_file = file(options.report_file, options.report_folder, ".html");
  if (!json_file.empty()) write(json_file, ResultJson(unit).dump(2) + "\n");
  if (!junit_file.empty()) write(junit_file, JunitReport(unit));
  if (!report_file.empty()) write(report_file, HtmlReport(unit));
  return problems;
}

}  // namespace multitone
