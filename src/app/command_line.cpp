#include "app/command_line.h"

#include <iostream>

namespace multitone {

std::optional<int> ParseCommandLine(CLI::App& app, int argc, const char* const* argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    std::cerr << app.get_name() << ": " << error.what() << "\n\n" << app.help();
    return 2;
  }
  return std::nullopt;
}

}  // namespace multitone
