// What multitone leaves after a run: the exit status, standard output and the
// one error line, for output that cannot be written, the simulated
// analyzer's screen, an analyzer that never starts to answer and a reference
// tone read with a minus sign.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "simserver/server_process.h"
#include "support/run_script.h"
#include "support/scripted_server.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

struct AfterRun {
  const char* name;
  std::function<ProgramResult()> run;
  int exit_code;
  std::string out_first_line;  // when not empty
  std::string err;             // exact
};

ProgramResult Multitone(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), MULTITONE_BINARY);
  return RunProgram(arguments, std::chrono::seconds(60));
}

TEST(AfterRun, EachEndsWithItsStatusAndOutput) {
  const std::string screen =
      (std::filesystem::temp_directory_path() / ("after_run_" + std::to_string(::getpid()) + ".svg")).string();
  const std::vector<AfterRun> table = {
      {"stdout on a full device",
       [] { return RunProgram({"/bin/sh", "-c", std::string("exec '") + MULTITONE_BINARY + "' >/dev/full"}); }, 1,
       "", "multitone: cannot write to standard output: No space left on device\n"},
      {"no --analyzer", [] { return Multitone({}); }, 0, "Simulated analyzer (no --analyzer given)", ""},
      {"--analyzer sim:...", [] { return Multitone({"--analyzer", "sim:seed=3"}); }, 0,
       "Simulated analyzer (--analyzer sim:seed=3)", ""},
      {"--screen into a folder that exists", [&] { return Multitone({"--screen", screen}); }, 0,
       "Simulated analyzer (no --analyzer given)", ""},
      {"analyzer-sim busy with another client",
       [] {
         ServerProcess server;
         Client holder(server.Port());
         EXPECT_TRUE(holder.Connected());
         EXPECT_TRUE(holder.Send("*IDN?\n"));
         EXPECT_TRUE(holder.ReadLine(std::chrono::seconds(10)).has_value()) << "the first client is served";
         return Multitone({"--analyzer", server.Address(), "--timeout", "300"});
       },
       1, "",
       "error 440: ConfigureAnalyzer: reply to SENS:UNIT?: the reply did not complete within the 300 ms "
       "timeout; nothing at all has come back since connecting: the analyzer may be busy with another "
       "client\n"},
      {"a reference tone read as -1000 Hz",
       [] {
         AnalyzerScript script;
         script.frequency = "-1000";
         ScriptedAnalyzer analyzer;
         Apply(script, analyzer);
         ScriptedServer server(analyzer);
         return Multitone({"--analyzer", server.Address(), "--timeout", "3000"});
       },
       // Harmonic 2 at Int(-2000 / 2.9296875 + 0.5) = -683: its window starts at -693.
       1, "",
       "error 9: BuildNoiseMasks: NoiseMaskLeft(-693) is outside 0 to 8192 (window of harmonic 2 at bin "
       "-683); the 1 kHz reference tone measured -1000 Hz\n"},
  };
  for (const AfterRun& row : table) {
    SCOPED_TRACE(row.name);
    const ProgramResult result = row.run();
    EXPECT_EQ(result.exit_code, row.exit_code);
    EXPECT_EQ(result.err, row.err);
    if (!row.out_first_line.empty()) {
      EXPECT_EQ(result.out.substr(0, result.out.find('\n')), row.out_first_line);
    }
  }
  std::ifstream svg(screen);
  const std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
  EXPECT_THAT(text, ::testing::HasSubstr("<svg ")) << "the screen file was written";
  std::filesystem::remove(screen);
}

}  // namespace
}  // namespace multitone::testing
