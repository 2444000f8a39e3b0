// analyzer-sim as a process: a complete multitone run over TCP, clients that
// vanish mid-reply, stopping on signals, the command line.
#include <gtest/gtest.h>

#include "server_process.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

TEST(AnalyzerSimServer, MultitoneRunOverTcpCompletesSilentlyAndLeavesItsResults) {
  ServerProcess server({"--speed", "1.0012"});
  ASSERT_NE(server.Port(), 0);
  const ProgramResult run = RunProgram({MULTITONE_BINARY, "--analyzer", server.Address()}, std::chrono::seconds(120));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");

  // The next client finds what the run wrote.
  Client client(server.Port());
  ASSERT_TRUE(client.Connected());
  client.Send("syst:mem:str1?\n");
  EXPECT_EQ(client.ReadLine(), "\"-.120000000000009 %\"");
  client.Send("sens:func:fft:wind?;:sens:unit?\n");
  EXPECT_EQ(client.ReadLine(), "FLAT;V");
}

TEST(AnalyzerSimServer, SecondRunAgainstTheSameServerSetsNothing) {
  ServerProcess server;
  ASSERT_NE(server.Port(), 0);
  for (int round = 0; round < 2; ++round) {
    const ProgramResult run =
        RunProgram({MULTITONE_BINARY, "--analyzer", server.Address(), "--trace"}, std::chrono::seconds(120));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const bool sets_window = run.err.find("> sens:func:fft:wind flat") != std::string::npos;
    EXPECT_EQ(sets_window, round == 0) << run.err;
  }
}

TEST(AnalyzerSimServer, ClientThatDisconnectsMidReplyDoesNotStopTheServer) {
  ServerProcess server;
  ASSERT_NE(server.Port(), 0);
  for (int round = 0; round < 3; ++round) {
    Client client(server.Port());
    ASSERT_TRUE(client.Connected());
    // Large ASCII spectra, then gone without reading them.
    client.Send("form asc;:sens:func:fft:size S32K;:init:cont off\n");
    client.Send("trac:load:fft_ay?\ntrac:load:fft_by?\ntrac:load:fft_ay?\n");
    if (round % 2 == 0) {
      client.Reset();
    } else {
      client.Close();
    }
  }
  Client next(server.Port());
  ASSERT_TRUE(next.Connected());
  next.Send("*IDN?\n");
  const auto identity = next.ReadLine(std::chrono::seconds(30));
  ASSERT_TRUE(identity.has_value());
  EXPECT_EQ(identity->rfind("multitone,", 0), 0u) << *identity;
  EXPECT_TRUE(server.Running());
}

TEST(AnalyzerSimServer, SigtermStopsItWithExitStatusZero) {
  ServerProcess server;
  ASSERT_NE(server.Port(), 0);
  Client idle(server.Port());  // even with a client connected
  ASSERT_TRUE(idle.Connected());
  EXPECT_EQ(server.Stop(SIGTERM), 0);
}

TEST(AnalyzerSimServer, SigintStopsItWithExitStatusZero) {
  ServerProcess server;
  ASSERT_NE(server.Port(), 0);
  EXPECT_EQ(server.Stop(SIGINT), 0);
}

TEST(AnalyzerSimServer, BadArgumentPrintsItsCauseAndExitsWithTwo) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--speed", "fast"}, {"--fault", "melted"}, {"--port", "70000"}, {"--hislip", "70000"}, {"--no-socket"}, {"--bogus"}}) {
    std::vector<std::string> argv = {ANALYZER_SIM_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProgramResult run = RunProgram(argv, std::chrono::seconds(30));
    EXPECT_EQ(run.exit_code, 2) << arguments.front();
    EXPECT_TRUE(run.err.starts_with("analyzer-sim: ")) << run.err;
    EXPECT_TRUE(run.err.ends_with("\nsee analyzer-sim --help\n")) << run.err;
  }
}

TEST(AnalyzerSimServer, HelpDescribesTheOptionsAndExitsWithZero) {
  const ProgramResult run = RunProgram({ANALYZER_SIM_BINARY, "--help"}, std::chrono::seconds(30));
  EXPECT_EQ(run.exit_code, 0);
  for (const char* option : {"--bind", "--port", "--speed", "--fault", "--screen", "--realtime"}) {
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
}

TEST(AnalyzerSimServer, ScreenFileFollowsTheDisplay) {
  const std::string path = ::testing::TempDir() + "analyzer_sim_screen.svg";
  std::remove(path.c_str());
  ServerProcess server({"--screen", path});
  ASSERT_NE(server.Port(), 0);
  Client client(server.Port());
  client.Send("syst:mem:str2 'written <by> a client'\n*OPC?\n");
  ASSERT_EQ(client.ReadLine(), "1");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::string svg(200000, '\0');
  svg.resize(std::fread(svg.data(), 1, svg.size(), file));
  std::fclose(file);
  EXPECT_NE(svg.find("2: written &lt;by&gt; a client"), std::string::npos);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace multitone::testing
