#include "app/serve/serve_until_signalled.h"

#include <atomic>
#include <ctime>
#include <iostream>
#include <thread>

namespace multitone {

sigset_t BlockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return signals;
}

int ServeUntilSignalled(const sigset_t& signals, const std::function<bool()>& serve,
                        const std::function<void()>& shutdown) {
  std::atomic<bool> served{false};
  bool serve_ok = true;
  std::thread serving([&] {
    serve_ok = serve();
    served = true;
  });
  const timespec poll{0, 100 * 1000 * 1000};
  bool signalled = false;
  while (!served && !signalled) signalled = ::sigtimedwait(&signals, nullptr, &poll) > 0;
  shutdown();
  serving.join();
  if (!signalled || !serve_ok) {
    std::cerr << "multitone serve: the server stopped serving\n";
    return 1;
  }
  return 0;
}

}  // namespace multitone
