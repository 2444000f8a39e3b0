// When the golden check falls due: the decision over what the store holds
// (times given, no clock read), and the store read across the station's
// runs, other stations' and a spool's.
#include "line/golden_schedule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "support/synthetic_runs.h"

namespace multitone::testing {
namespace {

using std::chrono::hours;

std::chrono::system_clock::time_point At(const std::string& iso) { return *ParseIsoTimeUtc(iso); }

GoldenRunRow Check(const std::string& at, bool passed) {
  return {"run-g", "G1", at,
          passed ? R"({"golden_check": {"passed": true, "line": "golden check passed"}})"
                 : R"j({"golden_check": {"passed": false,
                      "line": "golden check FAILED: left noise moved +3 dB (tolerance 1 dB)"}})j"};
}

TEST(GoldenSchedule, DueWhenNeverCheckedFailedOrRunOut) {
  GoldenSettings every8h;
  every8h.every = hours(8);
  every8h.units.resize(2);
  every8h.units[0].serial = "G1";
  every8h.units[1].serial = "G2";
  GoldenSettings every3units = every8h;
  every3units.every.reset();
  every3units.every_units = 3;
  const std::string at = "2026-12-07T06:00:00.000Z";
  struct Case {
    const GoldenSettings& golden;
    GoldenHistory history;
    const char* now;
    bool due;
    const char* why;
  };
  // clang-format off
  const Case cases[] = {
      {every8h, {std::nullopt, 7, ""}, "2026-12-07T06:00:01.000Z", true, "no golden check on this station yet"},
      {every8h, {std::nullopt, 0, "refused"}, "2026-12-07T06:00:01.000Z", true,
       "no golden check is known (the results server cannot be read: refused)"},
      {every8h, {Check(at, true), 100, ""}, "2026-12-07T13:59:59.999Z", false, ""},
      {every8h, {Check(at, true), 0, ""}, "2026-12-07T14:00:00.000Z", true,
       "the last golden check was at 2026-12-07T06:00:00.000Z, more than 8h ago"},
      {every8h, {Check(at, false), 0, ""}, "2026-12-07T06:00:01.000Z", true,
       "the last golden check (G1 at 2026-12-07T06:00:00.000Z) FAILED: left noise moved +3 dB (tolerance 1 dB)"},
      {every3units, {Check(at, true), 2, ""}, "2027-12-07T06:00:00.000Z", false, ""},
      {every3units, {Check(at, true), 3, ""}, "2026-12-07T06:00:01.000Z", true,
       "3 production units since the last golden check at 2026-12-07T06:00:00.000Z (every 3 units)"},
      {every3units, {GoldenRunRow{"r", "G1", at, "{}"}, 0, ""}, "2026-12-07T06:00:01.000Z", true,
       "FAILED: its run holds no check outcome"},
  };
  // clang-format on
  for (const Case& c : cases) {
    const GoldenStatus status = DecideGoldenStatus(c.golden, c.history, At(c.now));
    EXPECT_EQ(status.due, c.due) << c.now << " " << c.why;
    EXPECT_THAT(status.why, ::testing::HasSubstr(c.why));
    if (status.due) {
      EXPECT_THAT(GoldenRefusalText(c.golden, status), ::testing::EndsWith("first (G1, G2)"));
    }
  }
  EXPECT_EQ(DecideGoldenStatus(every3units, {Check(at, true), 1, ""}, At(at)).units_left, 2);
  EXPECT_EQ(DecideGoldenStatus(every8h, {Check(at, true), 1, ""}, At(at)).next_due_at, "2026-12-07T14:00:00.000Z");
}

class GoldenHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "multitone-golden.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  StoredRun Run(const std::string& id, long second, const std::string& purpose, const std::string& station = "st-1") {
    StoredRun run = SyntheticRun(id, purpose == "golden" ? "G1" : "SN" + id, second, random_, station);
    run.purpose = purpose;
    if (purpose == "golden") run.result_json = R"({"golden_check": {"passed": true, "line": "golden check passed"}})";
    return run;
  }
  std::filesystem::path folder_;
  std::mt19937_64 random_{3};
};

TEST_F(GoldenHistoryTest, TheNewestCheckAndTheProductionUnitsSinceInTheStoreOrASpool) {
  const std::string url = "sqlite:" + (folder_ / "st.db").string();
  ResultsStore::Open(url).Put(std::vector<StoredRun>{
      Run("p1", 10, "production"), Run("g1", 20, "golden"), Run("p2", 30, "production"), Run("g2", 40, "golden"),
      Run("p3", 50, "production"), Run("s1", 60, "study"), Run("p4", 70, "production"), Run("o1", 80, "golden", "st-2"),
      Run("o2", 90, "production", "st-2")});
  const GoldenHistory history = ReadGoldenHistory(RunStorage{url, ""}, "st-1");
  ASSERT_TRUE(history.latest.has_value());
  EXPECT_EQ(history.latest->run_id, "g2");
  EXPECT_EQ(history.latest->started_at, IsoTime(40));
  EXPECT_EQ(history.production_since, 2);  // p3, p4: not the study run, not st-2's
  EXPECT_EQ(ReadGoldenHistory(RunStorage{url, ""}, "st-3").production_since, 0);

  // On the way to a server that is down, the spool's runs count.
  const std::string spool = (folder_ / "spool.db").string();
  ResultsStore(OpenSqlite(spool)).Put(std::vector<StoredRun>{Run("g1", 20, "golden"), Run("p1", 30, "production")});
  const GoldenHistory spooled = ReadGoldenHistory(RunStorage{"postgresql://postgres@127.0.0.1:1/x", spool}, "st-1");
  EXPECT_FALSE(spooled.problem.empty());
  EXPECT_EQ(spooled.latest ? spooled.latest->run_id : "", "g1");
  EXPECT_EQ(spooled.production_since, 1);
}

}  // namespace
}  // namespace multitone::testing
