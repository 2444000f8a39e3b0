// multitone: one start, one measurement run (see app/run_program.h for the
// exit status). "multitone NAME ..." runs one of the commands beside the run
// (app/subcommands.h). With the built-in simulated analyzer (no --analyzer,
// or --analyzer sim[:OPTIONS]) a completed run also shows the analyzer's
// display on stdout, under a first line that says it was simulated; runs
// against a real analyzer stay silent on success. Output that cannot be
// written makes the exit status 1.
#include <csignal>
#include <cstdio>
#include <string_view>

#include "app/run_command/options.h"
#include "app/output_check.h"
#include "app/run_command/run_program.h"
#include "app/subcommands.h"

int main(int argc, char** argv) {
  // A peer that closes the connection must show as an error, never kill us.
  std::signal(SIGPIPE, SIG_IGN);
  // A file size limit reached while writing a result must show as a write
  // error (EFBIG), so the unit is an ERROR, never kill us mid-finish.
  std::signal(SIGXFSZ, SIG_IGN);

  // Before anything is built: scripts ask for the version often.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::fputs("multitone " MULTITONE_VERSION "\n", stdout);
    return multitone::CheckOutput(0);
  }
  if (argc > 1) {
    for (const multitone::Subcommand& command : multitone::Subcommands()) {
      if (command.name == std::string_view(argv[1])) {
        return multitone::CheckOutput(command.main(argc - 1, argv + 1));
      }
    }
  }
  multitone::ProgramOptions options;
  if (const auto exit_status = multitone::ParseOptions(argc, argv, options)) return *exit_status;
  return multitone::CheckOutput(multitone::RunProgram(options));
}
