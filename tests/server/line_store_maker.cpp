// A line's SQLite store for the line page's browser test: four stations, 40
// production runs each over the last minutes of today, a dead unit on st-1,
// st-3's left total_level 0.015 V above the others', and one alarm on st-2.
//   line_store_maker PATH
#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>
#include <random>

#include "common/iso_time.h"
#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "support/synthetic_runs.h"

namespace {

using multitone::StoredRun;

void Rejudge(StoredRun& run) {
  bool failed = false;
  for (auto& m : run.measurements) {
    if (!m.low && !m.high) continue;
    const bool fails = !m.value || (m.low && *m.value < *m.low) || (m.high && *m.value > *m.high);
    m.outcome = fails ? "FAIL" : "PASS";
    failed = failed || fails;
  }
  run.verdict = failed ? "FAIL" : "PASS";
}

double& LeftLevel(StoredRun& run) {
  for (auto& m : run.measurements) {
    if (m.figure == "total_level" && m.channel == "left") {
      if (!m.value) m.value = 0.775;
      return *m.value;
    }
  }
  throw std::runtime_error("no left total_level");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: line_store_maker PATH\n";
    return 2;
  }
  using namespace std::chrono;
  // The runs lie within today, however soon after midnight this runs.
  const auto now = system_clock::now();
  const std::time_t now_t = system_clock::to_time_t(now);
  std::tm midnight{};
  localtime_r(&now_t, &midnight);
  midnight.tm_hour = midnight.tm_min = midnight.tm_sec = 0;
  midnight.tm_isdst = -1;
  const auto first = std::max(system_clock::from_time_t(std::mktime(&midnight)), now - minutes(10));
  constexpr int kRuns = 40, kStations = 4;
  const auto step = (now - first) / (kRuns * kStations + 1);

  multitone::ResultsStore store(multitone::OpenSqlite(argv[1]));
  std::mt19937_64 random(11);
  std::vector<StoredRun> runs;
  for (int i = 0; i < kRuns; ++i) {
    for (int s = 1; s <= kStations; ++s) {
      const std::string station = "st-" + std::to_string(s);
      StoredRun run = multitone::testing::SyntheticRun(station + "-" + std::to_string(i),
                                                       "SN" + std::to_string(i * kStations + s), 0, random, station);
      if (s == 3) LeftLevel(run) += 0.015;
      if (s == 1 && i == 25) LeftLevel(run) = 0;  // a dead unit
      if (s == 2 && i == 30) LeftLevel(run) = 0.8095;  // the alarm's run: 3.45 sigma above the centre
      Rejudge(run);
      run.started_at = run.ended_at = multitone::IsoTimeUtc(first + step * (i * kStations + s));
      runs.push_back(std::move(run));
    }
  }
  store.Put(runs);
  const StoredRun& alarmed = runs[30 * kStations + 1];  // st-2's 31st run
  store.db().Execute(
      "INSERT INTO alarms (run_id, station, figure, channel, tone, rule, raised_at, value, centre, sigma) "
      "VALUES ($1, 'st-2', 'total_level', 'left', 0, 'beyond 3 sigma', $2, $3, 0.775, 0.01)",
      {alarmed.run_id, alarmed.started_at, 0.8095});
  return 0;
}
