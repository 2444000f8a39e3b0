// The results store through the real program: every run stored whatever its
// verdict, the stored document the same as --json writes, a result that
// cannot be stored never a PASS, a server that is down never holding up the
// verdict; and a limits file drafted from golden units that --limits reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "support/postgres_server.h"
#include "support/subprocess.h"
#include "support/synthetic_runs.h"
#include "verdict/limits.h"

namespace multitone::testing {
namespace {

const std::string kLimits = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";

class ProgramStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "multitone-prog.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::filesystem::path folder_;
};

TEST_F(ProgramStoreTest, EveryRunIsStoredAndNoUnstoredRunPasses) {
  struct Case {
    const char* analyzer;
    std::string results;
    int exit_code;
    const char* verdict_line;  // the start of the last line on stdout
    const char* stderr_has;
    const char* stored_verdict;  // in the store (the spool for PostgreSQL); "" for none
  };
  const std::string db = "sqlite:" + Path("station.db");
  const std::string down = "postgresql://postgres@127.0.0.1:1/postgres";  // nobody listens
  const std::string not_a_store = Path("notes.db");
  std::ofstream(not_a_store) << "these are notes, not a database of runs\n";
  const Case cases[] = {
      {"sim", db, 0, "PASS SN1", "", "PASS"},
      {"sim:fault=dead-right", db, 3, "FAIL SN1", "", "FAIL"},
      {"tcp://127.0.0.1:1", db, 1, "ERROR SN1: error 440", "", "ERROR"},
      // Passes every check before the run, then cannot take it.
      {"sim", "sqlite:" + not_a_store, 1, "ERROR SN1: error 0: station: result not stored", "not a database", ""},
      {"sim", down, 0, "PASS SN1", "kept locally only", "PASS"},
  };
  for (const Case& c : cases) {
    const std::string json = Path("result.json");
    std::filesystem::remove(json);
    const ProgramResult result =
        RunProgram({MULTITONE_BINARY, "--analyzer", c.analyzer, "--limits", kLimits, "--serial",
                    "SN1", "--json", json, "--results", c.results, "--spool", Path("spool.db")});
    EXPECT_EQ(result.exit_code, c.exit_code) << c.analyzer << " " << c.results << "\n" << result.err;
    std::string last = result.out.substr(0, result.out.size() - 1);
    last = last.substr(last.rfind('\n') + 1);
    EXPECT_THAT(last, ::testing::StartsWith(c.verdict_line)) << c.analyzer;
    EXPECT_THAT(result.err, ::testing::HasSubstr(c.stderr_has)) << c.analyzer;
    if (*c.stored_verdict == '\0') continue;

    // The newest stored run is this one, whole.
    ResultsStore store(OpenSqlite(c.results == down ? Path("spool.db") : Path("station.db")));
    std::ifstream in(json);
    const auto document = nlohmann::json::parse(in);
    std::string newest;
    store.db().Query("SELECT run_id FROM runs ORDER BY started_at DESC LIMIT 1", {},
                     [&](const SqlRow& row) { newest = row.Text(0); });
    const auto run = store.Get(newest);
    ASSERT_TRUE(run.has_value()) << c.analyzer;
    EXPECT_EQ(run->verdict, c.stored_verdict);
    EXPECT_EQ(run->serial, "SN1");
    EXPECT_EQ(run->measurements.size(), 1u + 2 * 7 + 2 * 16);
    EXPECT_EQ(nlohmann::json::parse(run->result_json), document) << c.analyzer;
  }
}

TEST_F(ProgramStoreTest, LimitsDerivedFromGoldenUnitsAreMeanPlusMinusKSigma) {
  const std::string url = "sqlite:" + Path("golden.db");
  std::mt19937_64 random(5);
  std::vector<StoredRun> runs;
  for (int i = 0; i < 40; ++i) {
    runs.push_back(SyntheticRun("run-" + std::to_string(i), "G" + std::to_string(i % 8), i, random));
  }
  runs.push_back(SyntheticRun("other", "NOT-GOLDEN", 99, random));
  runs.back().measurements[5].value = 1e6;  // would widen every bound it entered
  ResultsStore::Open(url).Put(runs);
  std::ofstream(Path("golden.txt")) << "# golden units\nG0\nG1\nG2\nG3\nG4\nG5\nG6\nG7\n";

  const ProgramResult result = RunProgram({MULTITONE_BINARY, "limits", "derive", "--results", url,
                                           "--serials", Path("golden.txt"), "--k", "3"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Limits limits = ParseLimits(result.out, "derived.toml");

  // Mean ± 3σ of the golden runs' values, per figure and channel, and per tone frequency.
  std::map<std::pair<std::string, std::string>, std::vector<double>> values;
  std::map<double, std::vector<double>> response;
  for (const StoredRun& run : runs) {
    if (run.serial == "NOT-GOLDEN") continue;
    for (const StoredMeasurement& m : run.measurements) {
      if (!m.value) continue;
      if (m.tone == 0) values[{m.figure, m.channel}].push_back(*m.value);
      else response[*m.nominal_hz].push_back(*m.value);
    }
  }
  auto bounds = [](const std::vector<double>& v) {
    double mean = 0, squares = 0;
    for (const double x : v) mean += x / static_cast<double>(v.size());
    for (const double x : v) squares += (x - mean) * (x - mean);
    const double sigma = std::sqrt(squares / static_cast<double>(v.size() - 1));
    return std::pair(mean - 3 * sigma, mean + 3 * sigma);
  };
  auto expect_close = [](double got, double want, const std::string& what) {
    EXPECT_NEAR(got, want, 1e-5 * std::max(std::abs(want), 1e-12)) << what;  // 6 digits written
  };
  const auto [pitch_low, pitch_high] = bounds(values[{"pitch_error", ""}]);
  ASSERT_TRUE(limits.pitch_error.min && limits.pitch_error.max);
  expect_close(*limits.pitch_error.min, pitch_low, "pitch_error min");
  expect_close(*limits.pitch_error.max, pitch_high, "pitch_error max");
  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) {
      const std::string what = std::string(ChannelName(channel)) + " " + std::string(FigureName(figure));
      const auto [low, high] = bounds(values[{std::string(FigureName(figure)), std::string(ChannelName(channel))}]);
      const FigureLimit& limit = limits.Of(channel, figure);
      ASSERT_TRUE(limit.min && limit.max) << what;
      expect_close(*limit.min, low, what + " min");
      expect_close(*limit.max, high, what + " max");
    }
  }
  ASSERT_EQ(limits.response_mask.size(), response.size());
  for (const MaskPoint& point : limits.response_mask) {
    const auto [low, high] = bounds(response.at(point.hz));
    expect_close(point.low_db, low, "mask low at " + std::to_string(point.hz));
    expect_close(point.high_db, high, "mask high at " + std::to_string(point.hz));
  }
}

}  // namespace
}  // namespace multitone::testing
