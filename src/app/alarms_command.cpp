// multitone alarms: the run rules over every stored chart. Exit 0 when no
// rule fired, 3 when one did (as a FAIL verdict does), 1 when the store
// cannot be read, 2 for a bad command line.
#include <iostream>

#include "app/command_line.h"
#include "app/line_commands.h"
#include "app/whole_number_check.h"
#include "line/chart_series.h"
#include "line/stated_limits.h"
#include "line/station_alarms.h"
#include "store/results_store.h"

namespace multitone {

int AlarmsCommand(int argc, const char* const* argv) {
  std::string results, since, control;
  std::size_t baseline = 20;
  RunFilter filter;
  CLI::App app("Control charts (individuals and moving range) per station, figure, channel and "
               "response tone, and the alarms of the run rules: beyond 3 sigma, 2 of 3 beyond "
               "2 sigma, 4 of 5 beyond 1 sigma, 8 in a row on one side, 6 in a row trending.",
               "multitone alarms");
  app.add_option("--results", results, "The results store")->type_name("URL")->required();
  app.add_option("--station", filter.station, "Only this station's runs")->type_name("NAME");
  app.add_option("--since", since, "From this day or UTC time on (YYYY-MM-DD[THH:MM:SS[.mmm]Z])")
      ->type_name("DATE");
  app.add_option("--baseline", baseline, "Centre and sigma from each chart's first N runs (default 20)")
      ->type_name("N")
      ->check(WholeNumberCheck(2, 1000000, "runs"));
  app.add_option("--control", control,
                 "Centre and sigma stated per chart in this file's [control] tables instead")
      ->type_name("FILE");
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;
  if (!since.empty()) {
    filter.since = ParseFilterTime(since, false);
    if (filter.since.empty()) {
      std::cerr << "multitone alarms: not a date: " << since << '\n';
      return 2;
    }
  }
  StatedLimits stated;
  if (!control.empty()) {
    try {
      stated = ReadStatedLimits(control);
    } catch (const StatedLimitsError& error) {
      std::cerr << "multitone alarms: " << error.what() << '\n';
      return 2;
    }
  }
  try {
    ResultsStore store = ResultsStore::Open(results);
    const LineAlarms alarms = FindAlarms(ReadChartSeries(store.db(), filter), baseline, stated);
    std::cout << AlarmsText(alarms);
    return alarms.alarms.empty() ? 0 : 3;
  } catch (const StoreError& error) {
    std::cerr << "multitone alarms: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace multitone
