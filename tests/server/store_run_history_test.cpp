// The station page's counts and last runs read back from the results store:
// only this station's runs, newest first; a store that cannot be written
// makes recording fail (never a silent pass), and one that cannot be read
// falls back to the server's own runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include "app/embedded_analyzer.h"
#include "server/store_run_history.h"
#include "station/unit_run.h"
#include "verdict/limits.h"

namespace multitone::server {
namespace {

UnitResult Tested(const std::string& analyzer, const std::string& serial, const std::string& station) {
  StationSetup setup;
  setup.create_analyzer = MakeEmbeddedAnalyzerFactory(analyzer, std::chrono::seconds(20), nullptr, nullptr);
  setup.analyzer = analyzer;
  setup.simulated = true;
  setup.station = station;
  setup.limits = LoadLimits(std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml");
  return RunUnit(setup, serial);
}

void Record(RunHistory& history, const UnitResult& unit) {
  if (const std::string why = history.Keep(unit); !why.empty()) throw std::runtime_error(why);
  history.Remember(SummarizeRun(unit), unit.ended_at);
}

TEST(StoreRunHistory, CountsAndLastRunsComeFromTheStore) {
  const std::string file = ::testing::TempDir() + "/station-history.db";
  std::remove(file.c_str());
  StoreRunHistory station_a({"sqlite:" + file, ""}, "st-A");
  StoreRunHistory station_b({"sqlite:" + file, ""}, "st-B");
  Record(station_a, Tested("sim", "SN1", "st-A"));
  Record(station_b, Tested("sim", "SN2", "st-B"));
  Record(station_a, Tested("sim:fault=dead-right", "SN3", "st-A"));

  // A fresh server on station A sees what the store holds, not its own memory.
  StoreRunHistory restarted({"sqlite:" + file, ""}, "st-A");
  const std::vector<RunSummary> recent = restarted.Recent(20);
  ASSERT_EQ(recent.size(), 2u);
  EXPECT_EQ(recent[0].serial, "SN3");
  EXPECT_EQ(recent[0].verdict, "FAIL");
  EXPECT_EQ(recent[1].serial, "SN1");
  EXPECT_EQ(recent[1].verdict, "PASS");
  const DayCounts today = restarted.Today();
  EXPECT_EQ(today.tested, 2);
  EXPECT_EQ(today.passed, 1);
  EXPECT_EQ(today.failed, 1);
  EXPECT_EQ(restarted.Source(), "the results store");
}

TEST(StoreRunHistory, AStoreThatCannotBeWrittenFailsTheRecord) {
  StoreRunHistory history({"sqlite:/no/such/folder/results.db", ""}, "st-A");
  const UnitResult unit = Tested("sim", "SN1", "st-A");
  EXPECT_NE(history.Keep(unit), "");
  // The page still lists the run (with the verdict its finish gave it).
  history.Remember(SummarizeRun(unit), unit.ended_at);
  const std::vector<RunSummary> recent = history.Recent(20);
  ASSERT_EQ(recent.size(), 1u);
  EXPECT_EQ(recent[0].serial, "SN1");
  EXPECT_NE(history.Source(), "the results store");
}

}  // namespace
}  // namespace multitone::server
