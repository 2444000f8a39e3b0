// A serial line or a "++" GPIB controller that goes away (analyzer-sim
// killed) or stops answering (analyzer-sim stopped) in the middle of a run:
// the run ends in error 440 within its timeout, at whatever point it was.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "simserver/server_process.h"

namespace multitone::testing {
namespace {

constexpr int kTimeoutMs = 1500;

struct Ended {
  int exit_code = -1;
  std::string err;
  std::chrono::milliseconds after_fault{0};
};

// Runs multitone --trace against `address`; once its trace shows `marker`,
// sends `fault` to the server; returns how the run ended. Every wait is
// bounded.
Ended RunWithFault(const std::string& address, const std::string& marker, pid_t server, int fault) {
  int err[2];
  Ended ended;
  if (::pipe2(err, O_CLOEXEC) != 0) return ended;
  // Made before the fork: the child of a process with threads must not allocate.
  std::vector<std::string> all = {MULTITONE_BINARY, "--analyzer", address, "--timeout", std::to_string(kTimeoutMs),
                                  "--trace"};
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(err[1], 2);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(err[1]);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::chrono::steady_clock::time_point faulted{};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{err[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::read(err[0], buffer, sizeof buffer);
    if (n <= 0) break;
    ended.err.append(buffer, static_cast<std::size_t>(n));
    if (faulted == std::chrono::steady_clock::time_point{} && ended.err.find(marker + "\n") != std::string::npos) {
      ::kill(server, fault);
      faulted = std::chrono::steady_clock::now();
    }
  }
  ::close(err[0]);
  int status = 0;
  if (std::chrono::steady_clock::now() >= limit) ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  ended.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (faulted != std::chrono::steady_clock::time_point{}) {
    ended.after_fault =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - faulted);
  }
  return ended;
}

TEST(DoorFaults, ACutOrAStallOnALineOrAControllerEndsInError440WithinTheTimeout) {
  const struct {
    const char* door;
    std::vector<std::string> arguments;
    const char* settings;  // after ASRL/dev/pts/N::INSTR
  } doors[] = {
      {"serial", {"--serial", "--realtime"}, ""},
      {"controller on the LAN", {"--prologix", "0", "--gpib", "5", "--realtime"}, ""},
      {"controller on USB", {"--serial", "--prologix", "--gpib", "5", "--realtime"}, "?gpib=5"},
  };
  // Each marker comes before both acquisitions (0.43 s with the filter,
  // 0.34 s without) or during the first, so the fault lands well before the
  // run could end: while a message is written or a reply awaited.
  for (const auto& door : doors) {
    for (const char* marker : {"> INP:FILT UFIL1", "> sens3:data?"}) {
      for (const int fault : {SIGKILL, SIGSTOP}) {
        SCOPED_TRACE(std::string(door.door) + ", " + marker + (fault == SIGKILL ? ", cut" : ", stall"));
        ServerProcess server(door.arguments);
        ASSERT_NE(server.Port(), 0);
        const std::string address =
            server.SerialPath().empty()
                ? "prologix://127.0.0.1:" + std::to_string(server.ControllerPort()) + "/5"
                : "ASRL" + server.SerialPath() + "::INSTR" + door.settings;
        const Ended ended = RunWithFault(address, marker, server.Pid(), fault);
        if (fault == SIGSTOP) ::kill(server.Pid(), SIGCONT);
        EXPECT_EQ(ended.exit_code, 1) << ended.err;
        const std::string cause = fault == SIGKILL
                                      ? "(serial line hung up|connection (reset|closed) by the analyzer)"
                                      : "the reply did not complete within the 1500 ms timeout";
        EXPECT_THAT(ended.err, ::testing::ContainsRegex("\nerror 440: (MeasurePitch|AcquireSpectra): (reply to|writing) "
                                                        "[^\n]+: " + cause + "\n$"));
        EXPECT_LT(ended.after_fault.count(), kTimeoutMs + 2000);
      }
    }
  }
}

}  // namespace
}  // namespace multitone::testing
