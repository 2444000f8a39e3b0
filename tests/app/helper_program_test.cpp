// multitone serve is the program multitone-serve, found beside multitone or
// in the installed helpers' folder; when it is in neither, the command says
// where it looked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/record_replay.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

TEST(HelperProgram, ServeAloneInAFolderNamesWhereItLooked) {
  if (std::filesystem::exists(std::filesystem::path(MULTITONE_LIBEXEC_DIR) / "multitone-serve")) {
    GTEST_SKIP() << "multitone-serve is installed in " << MULTITONE_LIBEXEC_DIR;
  }
  TemporaryFolder folder;
  const std::string multitone = folder.Path("multitone");
  std::filesystem::copy_file(MULTITONE_BINARY, multitone);
  const ProgramResult serve = RunProgram({multitone, "serve", "--help"});
  EXPECT_EQ(serve.exit_code, 1);
  EXPECT_EQ(serve.err, "multitone: cannot find multitone-serve beside " +
                           std::filesystem::path(multitone).parent_path().string() + " nor in " +
                           MULTITONE_LIBEXEC_DIR + "\n");
  EXPECT_EQ(serve.out, "");
}

}  // namespace
}  // namespace multitone::testing
