#include "simserver/stop_signal.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace multitone::simserver {
namespace {

std::atomic<bool> g_stop{false};
int g_pipe[2] = {-1, -1};

void OnSignal(int) {
  g_stop = true;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

int InstallStopSignal() {
  if (g_pipe[0] < 0) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
  }
  return g_pipe[0];
}

bool StopRequested() { return g_stop; }

}  // namespace multitone::simserver
