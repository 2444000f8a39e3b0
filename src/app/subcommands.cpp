#include "app/subcommands.h"

#include <array>

namespace multitone {
namespace {

// One line per command; each command's parser lives in its own file.
constexpr std::array<Subcommand, 0> kSubcommands = {{
}};

}  // namespace

std::span<const Subcommand> Subcommands() { return kSubcommands; }

}  // namespace multitone
