#include "app/run_command/unit_outputs.h"

#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "app/run_command/output_names.h"
#include "app/doors/replay_analyzer.h"
#include "common/durable_file.h"
#include "output/html_report.h"
#include "output/junit_report.h"
#include "output/result_json.h"
#include "store/results_url.h"

namespace multitone {
namespace {

struct Output {
  const char* option;
  const std::string& file;    // named on the command line
  const std::string& folder;  // else the station's folder for such files
  std::string_view extension;
  std::function<std::string(const UnitResult&)> render;
};

std::vector<Output> Outputs(const ProgramOptions& options) {
  return {{"--json", options.json_file, options.json_folder, ".json",
           [](const UnitResult& unit) { return ResultJsonText(unit, 2) + "\n"; }},
          {"--junit", options.junit_file, options.junit_folder, ".xml", JunitReport},
          {"--report", options.report_file, options.report_folder, ".html", HtmlReport}};
}

}  // namespace

std::vector<UnitSink> UnitOutputSinks(const ProgramOptions& options, const UnitResult& unit) {
  std::vector<UnitSink> regular, through;
  for (const Output& output : Outputs(options)) {
    // A file named on the command line wins over the station's folder.
    const std::string file = !output.file.empty()     ? output.file
                             : !output.folder.empty() ? UnitFileIn(output.folder, unit, output.extension)
                                                      : "";
    if (file.empty()) continue;
    const bool streams = WritesThrough(file);
    UnitSink sink{UnitSink::Kind::Keeps, "result not written", !streams,
                  [file, render = output.render](const UnitResult& u) { return WriteFileDurably(file, render(u)); }};
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
  // A file the run writes (a document, the record, the simulated analyzer's
  // screen) written over another, or over the store or the limits, would
  // take the place of what the unit was kept or judged by.
  struct Named {
    const char* option;
    std::string file;
    bool written;          // replaced by the run as a whole file
    std::string replaced;  // the file itself (ReplacedFile), resolved once
  };
  std::vector<Named> named;
  const auto add = [&](const char* option, const std::string& file, bool written) {
    if (!file.empty()) named.push_back({option, file, written, ReplacedFile(file)});
  };
  for (const Output& output : Outputs(options)) add(output.option, output.file, true);
  add("--record", options.record_file, true);
  add("--screen", options.screen_svg, true);
  add("--limits", options.limits_file, false);
  add("--analyzer replay:", ReplayedRecord(options.analyzer), false);
  const auto url = ParseResultsUrl(options.results);
  if (url && url->engine == Engine::Sqlite && url->target.rfind("file:", 0) != 0) {
    add("--results", url->target, false);
  }
  add("--spool", options.spool, false);
  for (std::size_t i = 0; i < named.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const Named& a = named[j];
      const Named& b = named[i];
      if (!(a.written || b.written) || a.replaced.empty() || a.replaced != b.replaced) continue;
      return std::string(a.option) + " and " + b.option + " name the same file (" + b.file +
             "): one would replace the other";
    }
  }
  return {};
}

bool DocumentOnStdout(const ProgramOptions& options) {
  return options.json_file == "-" || options.junit_file == "-" || options.report_file == "-";
}

}  // namespace multitone
