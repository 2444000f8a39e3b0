#include "app/setup/command_line.h"

#include <iostream>
#include "app/exit_status.h"

namespace multitone {

std::optional<int> ParseCommandLine(CLI::App& app, int argc, const char* const* argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return kExitDone;
  } catch (const CLI::ParseError& error) {
    // One line naming the cause, one pointing at the help, as for the run.
    return UsageError(app.get_name(), error.what(), std::cerr);
  }
  return std::nullopt;
}

}  // namespace multitone
