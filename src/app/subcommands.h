#pragma once
// The commands beside the run: "multitone NAME ..." hands the rest of the
// command line to NAME's own parser. A first argument that names none of
// them is the run's own command line.
#include <span>
#include <string_view>

namespace multitone {

struct Subcommand {
  std::string_view name;     // "serve"
  std::string_view summary;  // one line for --help
  // argv[0] is "multitone NAME"; returns the exit status.
  int (*main)(int argc, const char* const* argv);
};

std::span<const Subcommand> Subcommands();

}  // namespace multitone
