// multitone: one start, one measurement run. Exit status 0 when the run is
// complete, 1 when it failed (one line "error N: Step: ..." on stderr), 2 on a
// bad command line. With the built-in simulated analyzer (no --analyzer, or
// --analyzer sim[:OPTIONS]) a completed run also shows the analyzer's display
// on stdout, under a first line that says it was simulated; runs against a
// real analyzer stay silent on success. Output that cannot be written makes
// the exit status 1.
#include <csignal>
#include <iostream>
#include <memory>

#include "app/analyzer_factory.h"
#include "app/options.h"
#include "app/output_check.h"
#include "run/run_measurement.h"

int main(int argc, char** argv) {
  // A peer that closes the connection must show as an error, never kill us.
  std::signal(SIGPIPE, SIG_IGN);

  multitone::ProgramOptions options;
  if (const auto exit_status = multitone::ParseOptions(argc, argv, options)) return *exit_status;

  multitone::MeasurementRecord record;
  // Built by the run's first operation; kept to show its display afterwards.
  std::shared_ptr<multitone::EmbeddedAnalyzer> embedded;
  record.CreateAnalyzer = multitone::MakeAnalyzerFactory(options, &embedded);

  int status = 0;
  try {
    multitone::RunMeasurement(record);
  } catch (const multitone::RunError& error) {
    std::cerr << error.Report() << '\n';
    status = 1;
  }
  if (embedded) {
    if (status == 0) {
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
  return multitone::CheckOutput(status);
}
