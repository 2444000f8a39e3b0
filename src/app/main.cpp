// multitone: one start, one measurement run. Exit status 0 when the run is
// complete, 1 when it failed (one line "error N: Step: ..." on stderr), 2 on a
// bad command line. With the built-in simulated analyzer (no --analyzer, or
// --analyzer sim[:OPTIONS]) a completed run also shows the analyzer's display
// on stdout; runs against a real analyzer stay silent on success.
#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/analyzer_factory.h"
#include "app/options.h"
#include "app/subcommands.h"
#include "run/run_measurement.h"

int main(int argc, char** argv) {
  // A peer that closes the connection must show as an error, never kill us.
  std::signal(SIGPIPE, SIG_IGN);

  if (argc > 1) {
    for (const auto& command : multitone::Subcommands()) {
      if (command.name != argv[1]) continue;
      const std::string name = "multitone " + std::string(command.name);
      std::vector<const char*> args(argv + 1, argv + argc);
      args[0] = name.c_str();
      return command.main(argc - 1, args.data());
    }
  }

  multitone::ProgramOptions options;
  if (const auto exit_status = multitone::ParseOptions(argc, argv, options)) return *exit_status;
  if (!options.screen_svg.empty() && !multitone::EmbeddedAnalyzer::Serves(options.analyzer)) {
    std::cerr << "multitone: --screen needs the simulated analyzer (--analyzer sim); "
                 "a real analyzer shows its own display\n";
    return 2;
  }

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
    if (!options.screen_svg.empty() && !embedded->WriteScreenSvg(options.screen_svg)) {
      std::cerr << "multitone: cannot write the screen to " << options.screen_svg << '\n';
      if (status == 0) status = 1;
    }
    if (status == 0) std::cout << embedded->ScreenText() << std::flush;
  }
  return status;
}
