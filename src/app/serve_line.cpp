#include "app/serve_line.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <iostream>
#include <thread>

#include "store/read_only_store.h"

namespace multitone {

int ServeLine(const server::LinePageConfig& config) {
  // The store is looked at once before listening, so that a wrong URL is
  // said at once; the page opens it again when it is asked.
  try {
    OpenStoreReadOnly(config.results);
  } catch (const StoreError& error) {
    std::cerr << "multitone serve: " << error.what() << '\n';
    return 1;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  server::LinePage page(config);
  int port = 0;
  try {
    port = page.Bind();
  } catch (const std::exception& error) {
    std::cerr << "multitone serve: " << error.what() << '\n';
    return 1;
  }
  const std::string& host = config.listen.host;
  std::cout << "multitone serve: line page listening on http://"
            << (host.find(':') == std::string::npos ? host : "[" + host + "]") << ':' << port << "/" << std::endl;
  std::atomic<bool> served{false};
  bool serve_ok = true;
  std::thread serving([&] {
    serve_ok = page.Serve();
    served = true;
  });
  const timespec poll{0, 100 * 1000 * 1000};
  bool signalled = false;
  while (!served && !signalled) signalled = ::sigtimedwait(&signals, nullptr, &poll) > 0;
  page.Shutdown();
  serving.join();
  if (!signalled || !serve_ok) {
    std::cerr << "multitone serve: the server stopped serving\n";
    return 1;
  }
  return 0;
}

}  // namespace multitone
