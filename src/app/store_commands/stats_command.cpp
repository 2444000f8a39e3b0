// multitone stats: counts, yields and the spread of every figure over the
// selected runs; --html adds histograms and response curves.
#include <iostream>
#include <tuple>

#include "app/setup/command_line.h"
#include "app/store_commands/store_commands.h"
#include "common/durable_file.h"
#include "store/results_store.h"
#include "store/run_stats.h"
#include "store/stats_html.h"
#include "store/stats_text.h"

namespace multitone {

int StatsCommand(int argc, const char* const* argv) {
  std::string results, since, until, html;
  RunFilter filter;
  CLI::App app("Runs, verdicts, yield, first-pass yield and per figure n, mean, standard "
               "deviation, min, max and Cpk against the limits in force (those of the newest "
               "selected run).",
               "multitone stats");
  app.add_option("--results", results, "The results store")->type_name("URL")->required();
  app.add_option("--since", since, "From this day or UTC time on (YYYY-MM-DD[THH:MM:SS[.mmm]Z])")
      ->type_name("DATE");
  app.add_option("--until", until, "Up to this day (inclusive) or before this UTC time")
      ->type_name("DATE");
  app.add_option("--station", filter.station, "Only this station's runs")->type_name("NAME");
  app.add_option("--product", filter.product, "Only this product's runs")->type_name("NAME");
  app.add_option("--html", html, "Also write a page with histograms and response curves")
      ->type_name("FILE.html");
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;
  for (const auto& [text, bound, next_day] :
       {std::tuple{since, &filter.since, false}, std::tuple{until, &filter.until, true}}) {
    if (text.empty()) continue;
    *bound = ParseFilterTime(text, next_day);
    if (bound->empty()) {
      std::cerr << "multitone stats: not a date: " << text << '\n';
      return 2;
    }
  }
  try {
    ResultsStore store = ResultsStore::OpenExisting(results);
    const RunStats stats = ComputeStats(store.db(), filter);
    std::cout << StatsText(stats);
    if (!html.empty()) {
      if (const std::string error = WriteFileDurably(html, StatsHtml(store.db(), filter, stats));
          !error.empty()) {
        std::cerr << "multitone stats: " << error << '\n';
        return 1;
      }
    }
    return 0;
  } catch (const StoreError& error) {
    std::cerr << "multitone stats: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace multitone
