// multitone sync: forwards the runs a station kept in its spool while the
// PostgreSQL server could not be reached; the server and the spool may come
// from the station file. Exit 0 when the spool is empty afterwards, 1 when
// runs are left or there is no spool (the reason on stderr), 2 for a target
// that is not PostgreSQL.
#include <iostream>

#include "app/setup/command_line.h"
#include "app/setup/station_options.h"
#include "app/store_commands/store_commands.h"
#include "store/results_url.h"
#include "store/run_storage.h"

namespace multitone {

int SyncCommand(int argc, const char* const* argv) {
  RunStorage storage;
  CLI::App app("Forward the runs kept in the local spool to the PostgreSQL server.",
               "multitone sync");
  app.add_option("--results", storage.results, "The server: postgresql://...")->type_name("URL");
  app.add_option("--spool", storage.spool,
                 "The spool (default: multitone-spool.db in $XDG_STATE_HOME or ~/.local/state)")
      ->type_name("PATH");
  std::string config;
  AddConfigOption(app, config);
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;
  try {
    ApplyStationFile(app, config);
  } catch (const StationFileError& error) {
    std::cerr << "multitone sync: " << error.what() << '\n';
    return 2;
  }
  if (storage.results.empty()) {
    std::cerr << "multitone sync: --results is required (or results.url in the station file)\n";
    return 2;
  }
  if (const std::string wrong = CheckResultsUrl(storage.results); !wrong.empty()) {
    std::cerr << "multitone sync: " << wrong << '\n';
    return 2;
  }
  if (ParseResultsUrl(storage.results)->engine != Engine::Postgres) {
    std::cerr << "multitone sync: " << storage.results
              << " is a SQLite store, where runs are stored at once; sync forwards the runs a "
                 "station spooled on their way to a PostgreSQL server (--results postgresql://...)\n";
    return 2;
  }
  const ForwardReport report = ForwardSpool(storage);
  if (report.spool_read) {
    std::cout << "forwarded " << report.forwarded << " runs, " << report.left << " left in the spool\n";
  }
  if (!report.error.empty()) {
    std::cerr << "multitone sync: " << report.error << '\n';
    return 1;
  }
  return report.left == 0 ? 0 : 1;
}

}  // namespace multitone
