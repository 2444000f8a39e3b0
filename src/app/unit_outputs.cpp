#include "app/unit_outputs.h"

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
  if (!options.json_file.empty()) write(options.json_file, ResultJson(unit).dump(2) + "\n");
  if (!options.junit_file.empty()) write(options.junit_file, JunitReport(unit));
  if (!options.report_file.empty()) write(options.report_file, HtmlReport(unit));
  return problems;
}

}  // namespace multitone
