// "multitone serve" runs a program of its own; where that program is
// missing, the user is told which program and where it was looked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "support/subprocess.h"

namespace multitone::testing {
namespace {

TEST(HelperProgram, MissingServeProgramIsNamedWithWhereItWasLookedFor) {
  if (std::filesystem::exists(std::filesystem::path(MULTITONE_LIBEXEC_DIR) / "multitone-serve")) {
    GTEST_SKIP() << "multitone-serve is installed in " << MULTITONE_LIBEXEC_DIR;
  }
  // multitone alone in a folder: no multitone-serve beside it.
  const auto folder = std::filesystem::temp_directory_path() /
                      ("multitone-alone-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto copy = folder / "multitone";
  std::filesystem::copy_file(MULTITONE_BINARY, copy, std::filesystem::copy_options::overwrite_existing);

  const ProgramResult result = RunProgram({copy.string(), "serve", "--help"});
  std::filesystem::remove_all(folder);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "multitone: serve: cannot find multitone-serve beside " + folder.string() +
                            " nor in " + MULTITONE_LIBEXEC_DIR + "\n");
  EXPECT_EQ(result.out, "");
}

}  // namespace
}  // namespace multitone::testing
