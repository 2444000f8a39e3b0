#include "app/subcommands.h"

#include <array>

#include "app/setup/config_command.h"
#include "app/store_commands/golden_command.h"
#include "app/helper_program.h"
#include "app/store_commands/line_commands.h"
#include "app/run_command/record_command.h"
#include "app/store_commands/store_commands.h"

namespace multitone {
namespace {

// One line per command; each command's parser lives in its own file.
constexpr std::array<Subcommand, 10> kSubcommands = {{
    {"alarms", "Control-chart alarms per station, figure and channel over stored runs", AlarmsCommand},
    {"config", "config check: the station file validated, each setting and where it came from", ConfigCommand},
    {"golden", "golden add SERIAL, golden status: the golden-unit station check", GoldenCommand},
    {"history", "A unit's stored runs, newest first", HistoryCommand},
    {"limits", "limits derive: a limits file drafted from golden units' stored runs", LimitsCommand},
    {"record", "record show FILE, record diff A B: a run's record as a transcript, or where two records part",
     RecordCommand},
    {"serve", "The station's front panel: a web page and an API for the line",
     [](int argc, const char* const* argv) { return RunHelperProgram("multitone-serve", argc, argv); }},
    {"stats", "Yield, verdict counts and the spread of every figure over stored runs", StatsCommand},
    {"study", "study grr: a gauge R&R study, measured now (guided) or from stored runs", StudyCommand},
    {"sync", "Forward the runs kept in the local spool to the PostgreSQL server", SyncCommand},
}};

}  // namespace

std::span<const Subcommand> Subcommands() { return kSubcommands; }

}  // namespace multitone
