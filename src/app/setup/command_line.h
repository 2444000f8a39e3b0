#pragma once
// Parsing a subcommand's command line with CLI11, the same way for each:
// --help prints the usage (exit 0), a bad argument the reason and the usage
// on stderr (exit 2).
#include <optional>

#include <CLI/CLI.hpp>

namespace multitone {

std::optional<int> ParseCommandLine(CLI::App& app, int argc, const char* const* argv);

}  // namespace multitone
