// The station page's counts and last runs read back from the results store:
// only this station's runs, newest first; a store that cannot be written
// makes recording fail (never a silent pass), and one that cannot be read
// falls back to the server's own runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <streambuf>

#include "app/doors/embedded_analyzer.h"
#include "server/store_run_history.h"
#include "station/unit_run.h"
#include "support/postgres_server.h"
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
  restarted.Refresh();
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

// Lines written from the history's own thread, read by the test.
class Notes : public std::streambuf {
 public:
  std::string Text() {
    std::lock_guard lock(mutex_);
    return text_;
  }

 protected:
  int_type overflow(int_type c) override {
    std::lock_guard lock(mutex_);
    if (c != traits_type::eof()) text_ += traits_type::to_char_type(c);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard lock(mutex_);
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

TEST(StoreRunHistory, ALineServerDownAndBackAgain) {
  multitone::testing::PostgresServer server;
  const std::string spool = ::testing::TempDir() + "/station-spool.db";
  std::remove(spool.c_str());
  Notes notes;
  std::ostream log(&notes);
  StoreRunHistory history({server.Url(), spool}, "st-A", log);
  Record(history, Tested("sim", "SN1", "st-A"));
  history.Refresh();
  EXPECT_EQ(history.Source(), "the results store");
  EXPECT_EQ(history.Today().tested, 1);

  server.Stop();
  Record(history, Tested("sim", "SN2", "st-A"));
  history.Refresh();
  EXPECT_NE(notes.Text().find("multitone serve: kept locally only: 1 run in " + spool + " wait for the server"),
            std::string::npos)
      << notes.Text();
  EXPECT_EQ(history.Source(),
            "this server's own runs (the results store cannot be read); 1 run in the spool wait for the server");
  ASSERT_EQ(history.Recent(20).size(), 2u);  // this server's own, meanwhile

  server.Start();
  history.Refresh();
  EXPECT_EQ(history.Source(), "the results store");
  EXPECT_NE(notes.Text().find("multitone serve: forwarded 1 run from the spool"), std::string::npos) << notes.Text();
  EXPECT_EQ(history.Today().tested, 2);
  const auto recent = history.Recent(20);
  ASSERT_EQ(recent.size(), 2u);
  EXPECT_EQ(recent[0].serial, "SN2");
}

}  // namespace
}  // namespace multitone::server
