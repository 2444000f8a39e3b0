#include "app/subcommands.h"

#include <array>

#include "app/helper_program.h"
#include "app/store_commands.h"

namespace multitone {
namespace {

// One line per command; each command's parser lives in its own file.
constexpr std::array<Subcommand, 5> kSubcommands = {{
    {"history", "A unit's stored runs, newest first", HistoryCommand},
    {"limits", "limits derive: a limits file drafted from golden units' stored runs", LimitsCommand},
    {"serve", "The station's front panel: a web page and an API for the line",
     [](int argc, const char* const* argv) { return RunHelperProgram("multitone-serve", argc, argv); }},
    {"stats", "Yield, verdict counts and the spread of every figure over stored runs", StatsCommand},
    {"sync", "Forward the runs kept in the local spool to the PostgreSQL server", SyncCommand},
}};

}  // namespace

std::span<const Subcommand> Subcommands() { return kSubcommands; }

}  // namespace multitone
