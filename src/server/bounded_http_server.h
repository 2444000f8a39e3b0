#pragma once
// The HTTP server with every wait bounded, so that slow or idle clients
// cannot hold the station's workers: a request's line and headers must
// arrive within a time limit (and its body within the same limit), an idle
// kept-alive connection is closed after a few seconds, and the kernel queues
// connections as a normal server's listen backlog does. The handler of a
// request can see whether its client is still there (a long-lived event
// stream ends as soon as its page goes).
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

#include "server/listen_address.h"

namespace multitone::server {

class BoundedHttpServer : public httplib::Server {
 public:
  // The longest a client may take to send one request, headers and body.
  static constexpr std::chrono::seconds kRequestTime{5};
  // The longest a kept-alive connection may wait for its next request.
  static constexpr std::chrono::seconds kIdleTime{5};
  // Requests served on one connection before it is closed.
  static constexpr std::size_t kRequestsPerConnection = 100;
  // The largest request line and headers read.
  static constexpr std::size_t kMaxHeaderBytes = 16 * 1024;

  // Binds `listen` (port 0: a free one) as the only server on it, with a
  // normal listen backlog instead of the library's 5. SO_REUSEADDR only (a
  // restart finds its port free at once), never SO_REUSEPORT, with which a
  // second server on the same address would share it and take every other
  // request. Returns the port; throws std::runtime_error, naming `others`
  // ("another program") as who may hold it.
  int BindOwnPort(const ListenAddress& listen, const std::string& others);

  // After BindOwnPort: serves until StopServing(); false when serving failed.
  bool ServeUntilStopped();
  // Makes ServeUntilStopped() return (or return at once when it has not
  // begun) and waits until it has.
  void StopServing();

  // From a request handler: false once the client of the request being
  // handled on this thread has closed its connection (or reset it).
  static bool ClientStillThere();

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::atomic<bool> serving_{false};
  std::atomic<bool> stopping_{false};
};

}  // namespace multitone::server
