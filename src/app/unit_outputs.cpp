#include "app/unit_outputs.h"

#include <functional>
#include <utility>

#include "common/durable_file.h"
#include "output/html_report.h"
#include "output/junit_report.h"
#include "output/result_json.h"

namespace multitone {
namespace {

struct Output {
  const char* option;
  const std::string& file;
  std::function<std::string(const UnitResult&)> render;
};

std::vector<Output> Outputs(const ProgramOptions& options) {
  return {{"--json", options.json_file, [](const UnitResult& unit) { return ResultJsonText(unit, 2) + "\n"; }},
          {"--junit", options.junit_file, JunitReport},
          {"--report", options.report_file, HtmlReport}};
}

}  // namespace

std::vector<UnitSink> UnitOutputSinks(const ProgramOptions& options) {
  std::vector<UnitSink> regular, through;
  for (const Output& output : Outputs(options)) {
    if (output.file.empty()) continue;
    const bool streams = WritesThrough(output.file);
    UnitSink sink{UnitSink::Kind::Keeps, "result not written", !streams,
                  [file = output.file, render = output.render](const UnitResult& unit) {
                    return WriteFileDurably(file, render(unit));
                  }};
    (streams ? through : regular).push_back(std::move(sink));
  }
  for (UnitSink& sink : through) regular.push_back(std::move(sink));
  return regular;
}

std::string UnitOutputProblem(const ProgramOptions& options) {
  int on_stdout = 0;
  for (const Output& output : Outputs(options)) {
    if (output.file.empty()) continue;
    if (output.file == "-" && ++on_stdout > 1) {
      return "only one of --json, --junit and --report may write to standard output (-)";
    }
    if (const std::string why = WhyFileCannotBeWritten(output.file); !why.empty()) {
      return std::string(output.option) + ": " + why;
    }
  }
  return {};
}

bool DocumentOnStdout(const ProgramOptions& options) {
  return options.json_file == "-" || options.junit_file == "-" || options.report_file == "-";
}

}  // namespace multitone
