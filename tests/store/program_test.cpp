// The results store through the real program: every run stored whatever its
// verdict, the stored document the same as --json writes, a result that
// cannot be stored never a PASS, a server that is down never holding up the
// verdict; a limits file drafted from golden units that --limits reads; and
// the reading commands refusing what they cannot do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "store/derive_limits.h"
#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "support/loopback_server.h"
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
  // A server that takes the connection and never answers: the connection
  // gives up after its short timeout, the run waits in the spool.
  LoopbackServer silent([](ServerConnection& client) { client.WaitForClientClose(std::chrono::seconds(30)); }, 4);
  const std::string mute = "postgresql://postgres@127.0.0.1:" + std::to_string(silent.Port()) + "/postgres";
  const Case cases[] = {
      {"sim", db, 0, "PASS SN1", "", "PASS"},
      {"sim:fault=dead-right", db, 3, "FAIL SN1", "", "FAIL"},
      {"tcp://127.0.0.1:1", db, 1, "ERROR SN1: error 440", "", "ERROR"},
      // Passes every check before the run, then cannot take it.
      {"sim", "sqlite:" + not_a_store, 1, "ERROR SN1: error 0: station: result not stored", "not a database", ""},
      {"sim", down, 0, "PASS SN1", "kept locally only", "PASS"},
      {"sim", mute, 0, "PASS SN1", "timeout expired", "PASS"},
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
    // A store that cannot be read before the unit is not tried again for
    // the charts after it.
    const std::string skipped = "alarm check skipped";
    const std::size_t first = result.err.find(skipped);
    if (first != std::string::npos) {
      EXPECT_EQ(result.err.find(skipped, first + 1), std::string::npos) << c.analyzer << " " << c.results;
    }
    if (*c.stored_verdict == '\0') continue;

    // The newest stored run is this one, whole.
    ResultsStore store(OpenSqlite(c.results.rfind("postgres", 0) == 0 ? Path("spool.db") : Path("station.db")));
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

TEST_F(ProgramStoreTest, LimitsDerivedFromGoldenUnitsLatestPassingRuns) {
  const std::string url = "sqlite:" + Path("golden.db");
  std::mt19937_64 random(5);
  std::vector<StoredRun> runs;
  for (int i = 0; i < 40; ++i) {
    runs.push_back(SyntheticRun("run-" + std::to_string(i), "G" + std::to_string(i % 8), i, random));
    runs.back().verdict = i % 2 ? "MARGINAL" : "PASS";
  }
  // The latest runs of G6 and G7 failed: a dead unit would widen every bound it entered.
  runs[38].verdict = "FAIL";
  runs[38].measurements[5].value = 1e6;
  runs[39].verdict = "ERROR";
  runs[39].measurements[6].value = -1e6;
  runs.push_back(SyntheticRun("other", "NOT-GOLDEN", 99, random));
  runs.back().measurements[5].value = 1e6;
  ResultsStore::Open(url).Put(runs);
  std::ofstream(Path("golden.txt")) << "# golden units\nG0\nG1\nG2\nG3\nG4\nG5\nG6\nG7\nNOBODY\n";

  const ProgramResult result = RunProgram({MULTITONE_BINARY, "limits", "derive", "--results", url,
                                           "--serials", Path("golden.txt"), "--k", "3"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err,
            "multitone limits derive: left out G6: latest run FAIL (run-38)\n"
            "multitone limits derive: left out G7: latest run ERROR (run-39)\n"
            "multitone limits derive: left out NOBODY: no stored run\n");
  const Limits limits = ParseLimits(result.out, "derived.toml");

  // Mean ± max(3σ, repeatability) over the latest runs of G0 to G5 (runs 32 to 37).
  std::map<std::pair<std::string, std::string>, std::vector<double>> values;
  std::map<double, std::vector<double>> response;
  for (int i = 32; i < 38; ++i) {
    for (const StoredMeasurement& m : runs[static_cast<std::size_t>(i)].measurements) {
      if (!m.value) continue;
      if (m.tone == 0) values[{m.figure, m.channel}].push_back(*m.value);
      else response[*m.nominal_hz].push_back(*m.value);
    }
  }
  auto bounds = [](const std::string& figure, const std::vector<double>& v) {
    double mean = 0, squares = 0;
    for (const double x : v) mean += x / static_cast<double>(v.size());
    for (const double x : v) squares += (x - mean) * (x - mean);
    const double sigma = std::sqrt(squares / static_cast<double>(v.size() - 1));
    const double half = std::max(3 * sigma, RepeatabilityOf(figure, mean));
    return std::pair(mean - half, mean + half);
  };
  auto expect_close = [](double got, double want, const std::string& what) {
    EXPECT_NEAR(got, want, 1e-5 * std::max(std::abs(want), 1e-12)) << what;  // 6 digits written
  };
  const auto [pitch_low, pitch_high] = bounds("pitch_error", values[{"pitch_error", ""}]);
  ASSERT_TRUE(limits.pitch_error.min && limits.pitch_error.max);
  expect_close(*limits.pitch_error.min, pitch_low, "pitch_error min");
  expect_close(*limits.pitch_error.max, pitch_high, "pitch_error max");
  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) {
      const std::string name(FigureName(figure));
      const std::string what = std::string(ChannelName(channel)) + " " + name;
      const auto [low, high] = bounds(name, values[{name, std::string(ChannelName(channel))}]);
      const FigureLimit& limit = limits.Of(channel, figure);
      ASSERT_TRUE(limit.min && limit.max) << what;
      expect_close(*limit.min, low, what + " min");
      expect_close(*limit.max, high, what + " max");
    }
  }
  ASSERT_EQ(limits.response_mask.size(), response.size());
  for (const MaskPoint& point : limits.response_mask) {
    const auto [low, high] = bounds("response", response.at(point.hz));
    expect_close(point.low_db, low, "mask low at " + std::to_string(point.hz));
    expect_close(point.high_db, high, "mask high at " + std::to_string(point.hz));
  }
}

// The commands that read the store: a store that is not there is never
// made, a sync to SQLite says what sync is for, and limits are never
// drafted from too few units, or with a k that makes no bound.
TEST_F(ProgramStoreTest, StoreCommandsRefuseWhatTheyCannotDo) {
  const std::string golden = "sqlite:" + Path("golden.db");
  std::mt19937_64 random(3);
  std::vector<StoredRun> runs;
  for (int i = 0; i < 3; ++i) {
    runs.push_back(SyntheticRun("run-" + std::to_string(i), "G" + std::to_string(i), i, random));
    runs.back().verdict = "PASS";
  }
  ResultsStore::Open(golden).Put(runs);
  std::ofstream(Path("three.txt")) << "G0\nG1\nG2\n";
  const std::string binary = MULTITONE_BINARY, three = Path("three.txt");
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string stderr_has;
  };
  const Case cases[] = {
      {{"stats", "--results", "sqlite:" + Path("typo.db")}, 1, "no such results store"},
      {{"stats", "--results", Path("typo.db"), "--html", Path("s.html")}, 1, "no such results store"},
      {{"history", "--results", Path("typo.db"), "--serial", "G0"}, 1, "no such results store"},
      {{"limits", "derive", "--results", Path("typo.sqlite"), "--serials", three}, 1,
       "no such results store"},
      {{"sync", "--results", "postgresql://127.0.0.1:1/x", "--spool", Path("typo.db")}, 1,
       "no such results store"},
      {{"sync", "--results", golden}, 2, "sync forwards the runs a station spooled"},
      {{"limits", "derive", "--results", golden, "--serials", three}, 1,
       "3 golden unit(s) with a PASS or MARGINAL latest run; 5 at least"},
      {{"limits", "derive", "--results", golden, "--serials", three, "--k", "nan"}, 2,
       "'nan' is not a number above 0"},
      {{"limits", "derive", "--results", golden, "--serials", three, "--k", "0"}, 2,
       "'0' is not a number above 0"},
      {{"limits", "derive", "--results", golden, "--serials", three, "--k", "-2", "--force"}, 2,
       "'-2' is not a number above 0"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {binary};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProgramResult result = RunProgram(argv);
    const std::string what = c.args[0] + " " + c.args[2] + " " + c.args.back();
    EXPECT_EQ(result.exit_code, c.exit_code) << what << "\n" << result.err;
    EXPECT_THAT(result.err, ::testing::HasSubstr(c.stderr_has)) << what;
    EXPECT_EQ(result.out, "") << what;
  }
  for (const char* name : {"typo.db", "typo.sqlite", "s.html"}) {
    EXPECT_FALSE(std::filesystem::exists(Path(name))) << name;
  }

  // Forced from three units: drafted, but never narrower than the repeatability.
  const ProgramResult forced = RunProgram(
      {binary, "limits", "derive", "--results", golden, "--serials", three, "--k", "0.001", "--force"});
  ASSERT_EQ(forced.exit_code, 0) << forced.err;
  const Limits limits = ParseLimits(forced.out, "forced.toml");
  for (const MaskPoint& point : limits.response_mask) {
    EXPECT_GE(point.high_db - point.low_db, 2 * RepeatabilityOf("response", 0) * (1 - 1e-5)) << point.hz;
  }
  for (const Channel channel : kChannels) {
    const FigureLimit& snr = limits.Of(channel, Figure::SignalToNoise);
    ASSERT_TRUE(snr.min && snr.max);
    EXPECT_GE(*snr.max - *snr.min, 2 * RepeatabilityOf("signal_to_noise", 0) * (1 - 1e-5));
  }
}

}  // namespace
}  // namespace multitone::testing
