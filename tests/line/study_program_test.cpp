// multitone study grr --from-store through the real program: three units
// whose levels differ by 10 mV, each tested twice by two operators on the
// simulated analyzer, make a study whose reference level the station tells
// apart easily; a study with a missing cell is refused, saying which.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/subprocess.h"

namespace multitone::testing {
namespace {

const std::string kLimits = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";

TEST(StudyProgram, AStoredBalancedStudyIsReportedAndAnUnbalancedOneRefused) {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-study.XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  const std::string db = (folder / "study.db").string();
  int seed = 0;
  for (const char* part : {"1", "2", "3"}) {
    for (const char* appraiser : {"kim", "lee"}) {
      for (int trial = 0; trial < 2; ++trial) {
        const std::string analyzer = "sim:level=0.19" + std::string(part) + ",seed=" + std::to_string(++seed);
        const ProgramResult run =
            RunProgram({MULTITONE_BINARY, "--analyzer", analyzer, "--limits", kLimits, "--serial",
                        std::string("P") + part, "--operator", appraiser, "--results", db, "--quiet"});
        ASSERT_EQ(run.exit_code, 0) << run.err;
      }
    }
  }
  std::ofstream(folder / "parts.txt") << "P1\n# the second\nP2\nP3\n";
  std::ofstream(folder / "missing.txt") << "P1\nP2\nP4\n";

  const ProgramResult study =
      RunProgram({MULTITONE_BINARY, "study", "grr", "--from-store", "--results", db, "--serials",
                  (folder / "parts.txt").string(), "--limits", kLimits});
  ASSERT_EQ(study.exit_code, 0) << study.err;
  EXPECT_THAT(study.out, ::testing::HasSubstr("3 parts × 2 appraisers × 2 trials"));
  // The parts' reference levels lie 10 mV apart; a run repeats within some
  // 0.02 mV; the limits allow 0.05 V: %GRR is a fraction of one percent of
  // the tolerance.
  const std::size_t at = study.out.find("left reference_level (V)");
  ASSERT_NE(at, std::string::npos) << study.out;
  const std::string block = study.out.substr(at, study.out.find("\n\n", at) - at);
  EXPECT_THAT(block, ::testing::HasSubstr("of tolerance 0.05 V"));
  EXPECT_THAT(block, ::testing::EndsWith(": acceptable")) << block;

  const ProgramResult refused =
      RunProgram({MULTITONE_BINARY, "study", "grr", "--from-store", "--results", db, "--serials",
                  (folder / "missing.txt").string(), "--limits", kLimits});
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_THAT(refused.err, ::testing::HasSubstr("unbalanced study: P4 by kim has 0 runs"));
  std::ofstream(folder / "twice.txt") << "P1\nP2\nP1\n";
  const ProgramResult twice =
      RunProgram({MULTITONE_BINARY, "study", "grr", "--from-store", "--results", db, "--serials",
                  (folder / "twice.txt").string(), "--limits", kLimits});
  EXPECT_EQ(twice.exit_code, 2);
  EXPECT_THAT(twice.err, ::testing::HasSubstr("P1 is listed twice"));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace multitone::testing
