// Both programs' command lines, good and bad: the exit status, and the one
// cause line (with the pointer to --help) of every refusal, before any
// analyzer is touched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/subcommands.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

struct CommandLine {
  std::vector<std::string> argv;  // argv[0] "multitone" or "analyzer-sim"
  int exit_code;
  std::string err;                // exact
  std::string out_contains;       // when not empty
};

TEST(CommandLine, EachIsAcceptedOrRefusedWithItsCause) {
  const std::string folder = std::filesystem::temp_directory_path().string();
  const std::string m_help = "\nsee multitone --help\n";
  const std::string s_help = "\nsee analyzer-sim --help\n";
  const std::vector<CommandLine> table = {
      {{"multitone", "--analyzer", ""}, 2, "multitone: --analyzer: empty analyzer address" + m_help, ""},
      {{"multitone", "--timeout", "abc"}, 2,
       "multitone: --timeout: 'abc' is not a whole number of milliseconds" + m_help, ""},
      {{"multitone", "--timeout", "1.5"}, 2,
       "multitone: --timeout: '1.5' is not a whole number of milliseconds" + m_help, ""},
      {{"multitone", "--timeout", "0"}, 2,
       "multitone: --timeout: 0 is not between 1 and 86400000 milliseconds" + m_help, ""},
      {{"multitone", "--no-such-option"}, 2,
       "multitone: The following argument was not expected: --no-such-option" + m_help, ""},
      {{"multitone", "--screen", "/no/such/dir/s.svg"}, 2,
       "multitone: --screen: /no/such/dir/s.svg: No such file or directory" + m_help, ""},
      {{"multitone", "--screen", folder}, 2, "multitone: --screen: " + folder + ": Is a directory" + m_help, ""},
      {{"multitone", "--screen", ""}, 2, "multitone: --screen: empty file name" + m_help, ""},
      {{"multitone", "--analyzer", "tcp://127.0.0.1:1", "--screen", folder + "/s.svg"}, 2,
       "multitone: --screen needs the simulated analyzer (--analyzer sim); a real analyzer shows its own "
       "display" + m_help, ""},
      {{"multitone", "--analyzer", "sim:speed=1,speed=2"}, 2,
       "multitone: --analyzer: simulated analyzer 'sim:speed=1,speed=2': option speed is given more than once" +
           m_help,
       ""},
      {{"multitone", "--analyzer", "TCP://10.0.0.7:5025", "--limits", "l.toml", "--serial", "S1"}, 2,
       "multitone: --analyzer: analyzer address 'TCP://10.0.0.7:5025' is of no known form; did you mean "
       "'tcp://10.0.0.7:5025'? (the scheme is written in lower case)" + m_help,
       ""},
      {{"multitone", "--help"}, 0, "", "  fault=none, dead-left, dead-right, swapped, hum, clipping (none)\n"},
      {{"multitone", "--help"}, 0, "", "  speed=0.5 to 2 (1): "},
      {{"multitone", "--version"}, 0, "", std::string("multitone ") + MULTITONE_VERSION + "\n"},
      // Run by its own program, multitone-serve, found beside multitone.
      {{"multitone", "serve", "--help"}, 0, "", "multitone serve: the station's front panel."},
      {{"multitone", "serve", "--limits", "l.toml"}, 2,
       "multitone serve: --analyzer is required (or analyzer.address in the station file)"
       "\nsee multitone serve --help\n", ""},
      {{"multitone", "serve", "--analyzer", "sim", "--limits", "l.toml", "--token-file", "/no/such/token"}, 2,
       "multitone serve: --token-file /no/such/token: No such file or directory\nsee multitone serve --help\n", ""},
      {{"analyzer-sim", "--version"}, 0, "", std::string("analyzer-sim ") + MULTITONE_VERSION + "\n"},
      {{"analyzer-sim", "--port", "abc"}, 2,
       "analyzer-sim: --port: 'abc' is not a whole number (of a port)" + s_help, ""},
      {{"analyzer-sim", "--port", "65536"}, 2, "analyzer-sim: --port: 65536 is not between 0 and 65535" + s_help,
       ""},
      {{"analyzer-sim", "--port", "0", "--screen", "/no/such/dir/x.svg"}, 2,
       "analyzer-sim: --screen: /no/such/dir/x.svg: No such file or directory" + s_help, ""},
      {{"analyzer-sim", "--speed", "1", "--speed", "2"}, 2,
       "analyzer-sim: --speed: At Most 1 required but received 2" + s_help, ""},
  };
  for (CommandLine row : table) {
    std::string shown;
    for (const std::string& a : row.argv) shown += "'" + a + "' ";
    SCOPED_TRACE(shown);
    row.argv[0] = row.argv[0] == "multitone" ? MULTITONE_BINARY : ANALYZER_SIM_BINARY;
    const ProgramResult result = RunProgram(row.argv, std::chrono::seconds(60));
    EXPECT_EQ(result.exit_code, row.exit_code);
    EXPECT_EQ(result.err, row.err);
    if (!row.out_contains.empty()) {
      EXPECT_THAT(result.out, ::testing::HasSubstr(row.out_contains));
    }
  }
}

// The run's help names every command beside the run, each of which answers
// its own --help.
TEST(CommandLine, HelpNamesEveryCommand) {
  const ProgramResult help = RunProgram({MULTITONE_BINARY, "--help"});
  ASSERT_EQ(help.exit_code, 0) << help.err;
  for (const Subcommand& command : Subcommands()) {
    const std::string name(command.name);
    EXPECT_THAT(help.out, ::testing::HasSubstr("\n  " + name + " ")) << name;
    if (name == "serve") continue;  // its own program, tested with the server
    const ProgramResult own = RunProgram({MULTITONE_BINARY, name, "--help"});
    EXPECT_EQ(own.exit_code, 0) << name << ": " << own.err;
    EXPECT_THAT(own.out, ::testing::HasSubstr("multitone " + name)) << name;
  }
}

}  // namespace
}  // namespace multitone::testing
