#include "app/setup/command_line.h"

#include <iostream>

namespace multitone {

std::optional<int> ParseCommandLine(CLI::App& app, int argc, const char* const* argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    // One line naming the cause, one pointing at the help, as for the run.
    std::cerr << app.get_name() << ": " << error.what() << "\nsee " << app.get_name() << " --help\n";
    return 2;
  }
  return std::nullopt;
}

}  // namespace multitone
