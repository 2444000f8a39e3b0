#include "app/run_program.h"

#include <iostream>
#include <memory>
#include <vector>

#include "app/analyzer_factory.h"
#include "app/progress_line.h"
#include "app/replay_analyzer.h"
#include "app/run_recording.h"
#include "app/unit_outputs.h"
#include "output/verdict_line.h"
#include "station/serial_number.h"
#include "station/test_unit.h"
#include "store/store_unit.h"

namespace multitone {
namespace {

// --serial -: one line from standard input, as a barcode scanner types it.
std::string ReadSerial(const std::string& serial) {
  if (serial != "-") return serial;
  std::string line;
  std::getline(std::cin, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

int ExitStatus(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
    case Verdict::Marginal:
    case Verdict::NotJudged: return 0;
    case Verdict::Error: return 1;
    case Verdict::Fail: return 3;
  }
  return 1;
}

}  // namespace

int RunProgram(const ProgramOptions& options) {
  StationSetup setup;
  if (!options.limits_file.empty()) {
    try {
      setup.limits = LoadLimits(options.limits_file);
    } catch (const LimitsError& error) {
      std::cerr << "multitone: " << error.what() << '\n';
      return 2;
    }
  }
  const RunStorage storage{options.results, options.spool};
  if (!options.results.empty()) {
    if (const std::string wrong = CheckResultsUrl(options.results); !wrong.empty()) {
      std::cerr << "multitone: " << wrong << '\n';
      return 2;
    }
  }
  const bool has_serial = !options.serial.empty();
  const std::string serial = ReadSerial(options.serial);
  if (has_serial) {
    const std::string pattern = setup.limits ? setup.limits->limits.serial_pattern : "";
    if (const auto problem = SerialProblem(serial, pattern)) {
      std::cerr << "multitone: --serial: " << *problem << '\n';
      return 2;
    }
  }

  // Built by the run's first operation; kept to show its display afterwards.
  std::shared_ptr<EmbeddedAnalyzer> embedded;
  RunRecording recording;
  setup.create_analyzer = options.record_file.empty() ? MakeAnalyzerFactory(options, &embedded)
                                                      : recording.Factory(options, &embedded);
  setup.analyzer = options.analyzer.empty() ? "sim" : options.analyzer;
  // A replayed unit was not measured now: it is marked as the simulator's are.
  setup.simulated = EmbeddedAnalyzer::Serves(options.analyzer) || IsReplayAddress(options.analyzer);
  setup.station = options.station.empty() ? HostName() : options.station;
  setup.operator_name = options.operator_name;

  UnitResult unit;
  {
    ProgressLine progress(!options.quiet && !options.trace);
    unit = TestUnit(setup, serial, [&](std::size_t index, std::size_t count, std::string_view step) {
      progress.Show(index, count, step);
    });
  }
  if (unit.results.error) std::cerr << unit.results.error->Line() << '\n';

  int status = ExitStatus(unit.judgement.verdict);
  const bool json_on_stdout = options.json_file == "-";
  if (embedded) {
    if (unit.results.complete && !json_on_stdout) {
      std::cout << "Simulated analyzer ("
                << (options.analyzer.empty() ? "no --analyzer given" : "--analyzer " + options.analyzer)
                << ")\n"
                << embedded->ScreenText();
    }
    if (!options.screen_svg.empty()) {
      if (const std::string why = embedded->WriteScreenSvg(options.screen_svg); !why.empty()) {
        std::cerr << "multitone: cannot write the screen: " << why << '\n';
        if (status == 0) status = 1;
      }
    }
  }
  std::vector<std::string> not_written = WriteUnitOutputs(options, unit);
  if (!options.record_file.empty()) {
    if (std::string why = recording.Write(options.record_file, options, unit); !why.empty()) {
      not_written.push_back(std::move(why));
    }
  }
  for (const std::string& problem : not_written) {
    std::cerr << "multitone: " << problem << '\n';
    if (status == 0) status = 1;
  }
  // Kept before the verdict is shown: a result that cannot be stored is no PASS.
  std::string not_stored;
  if (!options.results.empty()) not_stored = KeepUnit(storage, unit);
  if (!not_stored.empty()) {
    std::cerr << "multitone: the result was not stored: " << not_stored << '\n';
    if (status == 0) status = 1;
  }
  if (setup.limits) {
    const bool passed = unit.judgement.verdict == Verdict::Pass || unit.judgement.verdict == Verdict::Marginal;
    // A pass whose record is missing is no pass: the line says so, as the
    // exit status does.
    std::string line = VerdictLine(unit);
    if (passed && !not_stored.empty()) line = "ERROR " + unit.serial + ": result not stored";
    if (passed && !not_written.empty()) line = "ERROR " + unit.serial + ": result not written";
    (json_on_stdout ? std::cerr : std::cout) << line << std::endl;
  }
  // The verdict does not wait for the server.
  if (!options.results.empty() && not_stored.empty()) {
    if (const std::string local = ForwardKeptRuns(storage); !local.empty()) {
      std::cerr << "multitone: " << local << '\n';
    }
  }
  return status;
}

}  // namespace multitone
