#include "app/subcommands.h"

#include <array>

#include "app/serve_command.h"

namespace multitone {
namespace {

// One line per command; each command's parser lives in its own file.
constexpr std::array<Subcommand, 1> kSubcommands = {{
    {"serve", "the station's front panel: a web page and an API for the line", ServeCommand},
}};

}  // namespace

std::span<const Subcommand> Subcommands() { return kSubcommands; }

}  // namespace multitone
