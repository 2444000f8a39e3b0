// analyzer-sim under a stream of clients, some killed at random points of
// their run: the server keeps serving, every completed run gives the same
// figures for the same seed, and its memory does not grow. A scaled-down
// version of scripts/soak, which does 1,000 runs.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <fcntl.h>
#include <iostream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "server_process.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

// Starts multitone against the server and kills it after `delay`.
void RunAndKill(const std::string& address, std::chrono::microseconds delay) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(MULTITONE_BINARY, MULTITONE_BINARY, "--analyzer", address.c_str(), "--timeout", "5000",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::this_thread::sleep_for(delay);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

// The eight memory strings the last completed run left.
std::vector<std::string> MemoryStrings(int port) {
  Client client(port);
  std::vector<std::string> strings;
  for (int n = 1; n <= 8; ++n) {
    client.Send("syst:mem:str" + std::to_string(n) + "?\n");
    strings.push_back(client.ReadLine().value_or("<no reply>"));
  }
  return strings;
}

// Under AddressSanitizer freed memory waits in a quarantine of up to 256 MiB
// before reuse, which would look like growth; the server gets a small one.
std::unique_ptr<ServerProcess> StartServerWithSmallQuarantine() {
  const char* before = std::getenv("ASAN_OPTIONS");
  const std::string saved = before ? before : "";
  ::setenv("ASAN_OPTIONS", (saved + (saved.empty() ? "" : ":") + "quarantine_size_mb=1").c_str(), 1);
  auto server = std::make_unique<ServerProcess>(std::vector<std::string>{"--seed", "7"});
  if (before) {
    ::setenv("ASAN_OPTIONS", saved.c_str(), 1);
  } else {
    ::unsetenv("ASAN_OPTIONS");
  }
  return server;
}

TEST(Soak, ServesRunAfterRunWithClientsKilledMidRun) {
  const auto started = StartServerWithSmallQuarantine();
  ServerProcess& server = *started;
  ASSERT_NE(server.Port(), 0);
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> delay_us(0, 40000);

  std::vector<std::string> first;
  long resident_after_first = 0;
  int completed = 0;
  int killed = 0;
  for (int run = 0; run < 40; ++run) {
    if (run % 4 == 3) {
      RunAndKill(server.Address(), std::chrono::microseconds(delay_us(random)));
      ++killed;
      continue;
    }
    const ProgramResult result = RunProgram(
        {MULTITONE_BINARY, "--analyzer", server.Address(), "--timeout", "5000"}, std::chrono::seconds(30));
    ASSERT_EQ(result.exit_code, 0) << "run " << run << ": " << result.err;
    ++completed;
    const std::vector<std::string> strings = MemoryStrings(server.Port());
    if (first.empty()) {
      first = strings;
      resident_after_first = server.ResidentKib();
    } else {
      EXPECT_EQ(strings, first) << "run " << run << " gave other figures";
    }
    ASSERT_TRUE(server.Running());
  }
  const long resident_at_end = server.ResidentKib();
  std::cout << "soak: " << completed << " runs completed, " << killed
            << " killed; server resident memory " << resident_after_first << " KiB after the first run, "
            << resident_at_end << " KiB at the end\n";
  EXPECT_LT(resident_at_end, resident_after_first + 4096) << "the server's memory grew";
  EXPECT_EQ(server.Stop(SIGTERM), std::optional<int>(0));
}

}  // namespace
}  // namespace multitone::testing
