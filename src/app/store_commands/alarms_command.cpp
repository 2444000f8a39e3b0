// multitone alarms: the control-chart alarms the stations raised, as stored
// with their runs, and their acknowledgement.
//   multitone alarms --results URL [--station S] [--since DATE] [--all]
//     lists the open alarms (--all: acknowledged ones too); exit 0 when it
//     lists none, 3 when it lists some (as a FAIL verdict does).
//   multitone alarms --recompute [--baseline N] [--control FILE] ...
//     the run rules over every stored chart, computed now from the runs
//     (the store's alarms are left as they are); exit 0 or 3 the same way.
//   multitone alarms ack --results URL --station S [--rule R] [--run RUN]
//     --by NAME [--note TEXT]
//     records who acknowledged the station's open alarms (those of one rule
//     or one run), and when; exit 0, or 3 when none was open.
// Exit 1 when the store cannot be read or written, 2 for a bad command line.
#include <iostream>

#include "app/setup/command_line.h"
#include "app/store_commands/line_commands.h"
#include "app/setup/whole_number_check.h"
#include "common/short_number.h"
#include "line/chart_series.h"
#include "line/control_chart.h"
#include "line/stated_limits.h"
#include "line/station_alarms.h"
#include "station/unit_names.h"
#include "store/kept_alarms.h"
#include "store/results_store.h"
#include "verdict/chart_name.h"

namespace multitone {
namespace {

constexpr const char* kName = "multitone alarms: ";

std::string AlarmLine(const AlarmRow& a) {
  const std::string chart = ChartName(a.figure, a.channel, a.tone);
  std::string line = a.raised_at + "  " + a.station + "  " + chart + "  " + a.rule + "  run " + a.run_id +
                     "  value " + ShortNumber(a.value) + " (centre " + ShortNumber(a.centre) + ", sigma " +
                     ShortNumber(a.sigma) + ")  ";
  if (a.Open()) return line + "open";
  line += "acknowledged by " + a.acknowledged_by + " at " + a.acknowledged_at;
  if (!a.acknowledge_note.empty()) line += ": " + a.acknowledge_note;
  return line;
}

int Recompute(const std::string& results, const RunFilter& filter, std::size_t baseline, const std::string& control) {
  StatedLimits stated;
  if (!control.empty()) {
    try {
      stated = ReadStatedLimits(control);
    } catch (const StatedLimitsError& error) {
      std::cerr << kName << error.what() << '\n';
      return 2;
    }
  }
  ResultsStore store = ResultsStore::OpenExisting(results);
  const LineAlarms alarms = FindAlarms(ReadChartSeries(store.db(), filter), baseline, stated);
  std::cout << AlarmsText(alarms);
  return alarms.alarms.empty() ? 0 : 3;
}

int List(const RunStorage& storage, const AlarmFilter& filter) {
  const std::vector<AlarmRow> alarms = ReadKeptAlarms(storage, filter);
  std::size_t open = 0;
  for (const AlarmRow& a : alarms) {
    std::cout << AlarmLine(a) << '\n';
    open += a.Open() ? 1 : 0;
  }
  if (filter.open_only) {
    std::cout << open << (open == 1 ? " open alarm\n" : " open alarms\n");
  } else {
    std::cout << alarms.size() << (alarms.size() == 1 ? " alarm" : " alarms") << ", " << open << " open\n";
  }
  return alarms.empty() ? 0 : 3;
}

int Acknowledge(const RunStorage& storage, const AlarmFilter& filter, const std::string& by, const std::string& note) {
  if (const auto problem = NameProblem(by, "--by")) {
    std::cerr << kName << *problem << '\n';
    return 2;
  }
  const Acknowledgement done = AcknowledgeKeptAlarms(storage, filter, by, note);
  if (done.acknowledged == 0 && !done.error.empty()) {
    std::cerr << kName << done.error << '\n';
    return 1;
  }
  if (done.acknowledged == 0) {
    std::cerr << kName << "no open alarm of station " << filter.station << " matches\n";
    return 3;
  }
  std::cout << done.acknowledged << (done.acknowledged == 1 ? " alarm" : " alarms") << " acknowledged by " << by
            << '\n';
  if (!done.error.empty()) std::cerr << kName << "acknowledged in the spool only: " << done.error << '\n';
  return 0;
}

}  // namespace

int AlarmsCommand(int argc, const char* const* argv) {
  RunStorage storage;
  std::string since, control, by, note;
  std::size_t baseline = 20;
  bool all = false, recompute = false;
  AlarmFilter filter;
  CLI::App app("The control-chart alarms the stations raised (individuals and moving range per station, "
               "figure, channel and response tone; rules: beyond 3 sigma, 2 of 3 beyond 2 sigma, 4 of 5 "
               "beyond 1 sigma, 8 in a row on one side, 6 in a row trending), and their acknowledgement.",
               "multitone alarms");
  app.add_option("--results", storage.results, "The results store (required)")->type_name("URL");
  app.add_option("--spool", storage.spool, "The station's local spool of a PostgreSQL store")->type_name("PATH");
  app.add_option("--station", filter.station, "Only this station's alarms")->type_name("NAME");
  app.add_option("--since", since, "Raised on this day or UTC time or later (YYYY-MM-DD[THH:MM:SS[.mmm]Z])")
      ->type_name("DATE");
  app.add_flag("--all", all, "Acknowledged alarms too (default: the open ones)");
  app.add_flag("--recompute", recompute,
               "Compute the alarms now from the stored runs' charts instead of listing the stored ones");
  app.add_option("--baseline", baseline, "With --recompute: centre and sigma from each chart's first N runs (20)")
      ->type_name("N")
      ->check(WholeNumberCheck(2, 1000000, "runs"));
  app.add_option("--control", control,
                 "With --recompute: centre and sigma stated per chart in this file's [control] section")
      ->type_name("FILE");
  CLI::App* ack = app.add_subcommand("ack", "Acknowledge a station's open alarms: who and when");
  ack->add_option("--results", storage.results, "The results store")->type_name("URL")->required();
  ack->add_option("--spool", storage.spool, "The station's local spool of a PostgreSQL store")->type_name("PATH");
  ack->add_option("--station", filter.station, "The station whose alarms")->type_name("NAME")->required();
  ack->add_option("--rule", filter.rule, "Only this rule's alarms (\"beyond 3 sigma\", ...)")->type_name("RULE");
  ack->add_option("--run", filter.run_id, "Only the alarms this run raised")->type_name("RUN_ID");
  ack->add_option("--by", by, "Who acknowledges")->type_name("NAME")->required();
  ack->add_option("--note", note, "What was found or done")->type_name("TEXT");
  app.require_subcommand(0, 1);
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;
  if (storage.results.empty()) {
    std::cerr << kName << "--results is required\nsee multitone alarms --help\n";
    return 2;
  }
  if (!since.empty()) {
    filter.since = ParseFilterTime(since, false);
    if (filter.since.empty()) {
      std::cerr << kName << "not a date: " << since << '\n';
      return 2;
    }
  }
  if (!filter.rule.empty() && !RuleNamed(filter.rule)) {
    std::cerr << kName << "--rule: no rule '" << filter.rule
              << "' (beyond 3 sigma, 2 of 3 beyond 2 sigma, 4 of 5 beyond 1 sigma, 8 in a row on one side, "
                 "6 in a row trending)\n";
    return 2;
  }
  try {
    if (ack->parsed()) return Acknowledge(storage, filter, by, note);
    if (recompute) {
      RunFilter runs;
      runs.station = filter.station;
      runs.since = filter.since;
      return Recompute(storage.results, runs, baseline, control);
    }
    filter.open_only = !all;
    return List(storage, filter);
  } catch (const StoreError& error) {
    std::cerr << kName << error.what() << '\n';
    return 1;
  }
}

}  // namespace multitone
