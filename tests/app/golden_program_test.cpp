// The golden-unit station check through the real program on the simulated
// analyzer: references taken from the store by `golden add`, production
// serials refused until a golden unit matches, a moved station named figure
// by figure, the unit count and the interval.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "common/iso_time.h"
#include "store/results_store.h"
#include "support/subprocess.h"
#include "support/synthetic_runs.h"
#include "verdict/limits.h"

namespace multitone::testing {
namespace {

const std::string kExampleLimits = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";
const std::string kGolden = "PB29990001";

class GoldenProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "multitone-golden.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    limits_ = Path("limits.toml");
    std::filesystem::copy_file(kExampleLimits, limits_);
    url_ = "sqlite:" + Path("station.db");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  ProgramResult Test(const std::string& serial, const std::string& analyzer = "sim") {
    return RunProgram({MULTITONE_BINARY, "--analyzer", analyzer, "--limits", limits_, "--serial", serial, "--station",
                       "st-1", "--results", url_, "--json", Path("result.json"), "--quiet"});
  }
  std::size_t StoredRuns() { return ResultsStore::OpenExisting(url_).RunCount(); }

  std::filesystem::path folder_;
  std::string limits_, url_;
};

TEST_F(GoldenProgramTest, RefusedUntilAGoldenUnitMatchesThenCountedByUnits) {
  // Nothing stored of the golden unit yet: no reference to take.
  ASSERT_EQ(Test("PB20000001").exit_code, 0);
  ProgramResult add = RunProgram(
      {MULTITONE_BINARY, "golden", "add", kGolden, "--results", url_, "--limits", limits_, "--every-units", "2"});
  EXPECT_EQ(add.exit_code, 1);
  EXPECT_THAT(add.err, ::testing::HasSubstr("no completed run of " + kGolden));

  // Its references: the mean of its stored runs, written into the file.
  for (int i = 0; i < 2; ++i) ASSERT_EQ(Test(kGolden).exit_code, 0);
  add = RunProgram({MULTITONE_BINARY, "golden", "add", kGolden, "--results", url_, "--limits", limits_, "--every-units",
                    "2", "--tolerance", "0.2"});
  ASSERT_EQ(add.exit_code, 0) << add.err;
  EXPECT_THAT(add.out, ::testing::HasSubstr("references from the mean of 2 run(s)"));
  const LimitsSource written = LoadLimits(limits_);
  const GoldenUnit* unit = written.limits.golden.Find(kGolden);
  ASSERT_NE(unit, nullptr);
  EXPECT_NEAR(*unit->Of(Channel::Left, Figure::ReferenceLevel), 0.1936, 0.002);

  struct Step {
    std::string serial;
    const char* analyzer;
    int exit_code;
    const char* says;  // on stdout for a tested unit, on stderr for a refused one
    bool stored;
  };
  const std::string golden_first = "test a golden unit first (" + kGolden + ")";
  const Step steps[] = {
      {"PB20000002", "sim", 2, "golden check due: no golden check on this station yet", false},
      {kGolden, "sim", 0, "golden check passed\nPASS PB29990001", true},
      {"PB20000003", "sim", 0, "PASS PB20000003", true},
      {"PB20000004", "sim", 0, "PASS PB20000004", true},
      {"PB20000005", "sim", 2, "2 production units since the last golden check", false},
      // The station moved: its levels read 0.706 dB high.
      {kGolden, "sim:level=0.21", 0,
       "golden check FAILED: left total_level moved +0.706 dB (tolerance 0.2 dB); "
       "left reference_level moved +0.706 dB (tolerance 0.2 dB)",
       true},
      {"PB20000006", "sim", 2, "FAILED: left total_level moved +0.706 dB (tolerance 0.2 dB)", false},
      {kGolden, "sim", 0, "golden check passed", true},
      {"PB20000006", "sim", 0, "PASS PB20000006", true},
  };
  for (const Step& step : steps) {
    const std::size_t before = StoredRuns();
    std::filesystem::remove(Path("result.json"));
    const ProgramResult result = Test(step.serial, step.analyzer);
    EXPECT_EQ(result.exit_code, step.exit_code) << step.serial << ": " << result.err;
    EXPECT_THAT(step.stored ? result.out : result.err, ::testing::HasSubstr(step.says)) << step.serial;
    EXPECT_EQ(StoredRuns(), before + (step.stored ? 1 : 0)) << step.serial;
    if (!step.stored) {
      EXPECT_THAT(result.err, ::testing::HasSubstr(golden_first));
      EXPECT_EQ(result.out, "");  // no verdict line: the unit was never tested
      EXPECT_FALSE(std::filesystem::exists(Path("result.json")));
    } else if (step.serial == kGolden) {
      std::ifstream in(Path("result.json"));
      const auto check = nlohmann::json::parse(in).at("golden_check");
      EXPECT_EQ(check.at("passed").get<bool>(), std::string(step.says).rfind("golden check passed", 0) == 0);
      EXPECT_THAT(check.at("tag").get<std::string>(), ::testing::StartsWith("golden-check "));
      // Every figure and tone of both channels; pitch_error has no tolerance of its own here.
      EXPECT_EQ(check.at("compared").size(), 2u * 7 + 2 * 16);
    }
  }
  std::int64_t golden_runs = 0;
  ResultsStore::OpenExisting(url_).db().Query(
      "SELECT COUNT(*) FROM runs WHERE purpose = 'golden' AND tag LIKE 'golden-check %'", {},
      [&](const SqlRow& row) { golden_runs = row.Int(0); });
  EXPECT_EQ(golden_runs, 3);

  const ProgramResult status =
      RunProgram({MULTITONE_BINARY, "golden", "status", "--results", url_, "--limits", limits_, "--station", "st-1"});
  EXPECT_EQ(status.exit_code, 0) << status.err;
  EXPECT_THAT(status.out, ::testing::HasSubstr("golden check passed"));
  EXPECT_THAT(status.out, ::testing::HasSubstr("production units since: 1\nnext check: after 1 more production units"));
}

TEST_F(GoldenProgramTest, DueOnceTheIntervalHasPassedAndNeverWithoutAStore) {
  std::ofstream(limits_, std::ios::app) << "\n[golden]\nevery = \"8h\"\ntolerance = 0.2\n"
                                           "[golden.unit."
                                        << kGolden << ".left]\nreference_level = 0.1936\n";
  const ProgramResult no_store =
      RunProgram({MULTITONE_BINARY, "--analyzer", "sim", "--limits", limits_, "--serial", "PB20000001"});
  EXPECT_EQ(no_store.exit_code, 2);
  EXPECT_THAT(no_store.err, ::testing::HasSubstr("golden checks are tracked in the results store: give --results"));

  // Checks stored as made 9 hours and 1 hour ago: no clock is waited for.
  std::mt19937_64 random(1);
  for (const int ago : {9, 1}) {
    StoredRun run = SyntheticRun("g" + std::to_string(ago), kGolden, 0, random, "st-1");
    run.started_at = run.ended_at = IsoTimeUtc(std::chrono::system_clock::now() - std::chrono::hours(ago));
    run.purpose = "golden";
    run.result_json = R"({"golden_check": {"passed": true, "line": "golden check passed"}})";
    ResultsStore::Open(url_).Put(run);
    const ProgramResult result = Test("PB20000001");
    EXPECT_EQ(result.exit_code, ago > 8 ? 2 : 0) << result.err;
    EXPECT_THAT(ago > 8 ? result.err : result.out,
                ::testing::HasSubstr(ago > 8 ? "more than 8h ago; test a golden unit first (" + kGolden + ")"
                                             : "PASS PB20000001 [SIMULATED]\n"));
  }
}

}  // namespace
}  // namespace multitone::testing
