// multitone history: one unit's runs, newest first. Exit 1 when it has none.
#include <iostream>

#include "app/setup/command_line.h"
#include "app/store_commands/store_commands.h"
#include "store/results_store.h"
#include "store/unit_history.h"

namespace multitone {

int HistoryCommand(int argc, const char* const* argv) {
  std::string results, serial;
  CLI::App app("A unit's runs, newest first: time, verdict, station, run id, failing figures.",
               "multitone history");
  app.add_option("--results", results, "The results store")->type_name("URL")->required();
  app.add_option("--serial", serial, "The unit's serial number")->type_name("SN")->required();
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;
  try {
    ResultsStore store = ResultsStore::OpenExisting(results);
    const auto history = UnitHistory(store.db(), serial);
    if (history.empty()) {
      std::cerr << "multitone history: no runs of " << serial << '\n';
      return 1;
    }
    std::cout << HistoryText(history);
    return 0;
  } catch (const StoreError& error) {
    std::cerr << "multitone history: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace multitone
