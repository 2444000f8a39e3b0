#pragma once
// The simulated analyzer on a TCP port: one client at a time, the analyzer's
// state kept from one client to the next. Every reply leaves in one send()
// with TCP_NODELAY on; a client that disappears mid-reply (EPIPE, reset) only
// ends its own session; a client that stops reading for kSendTimeout is
// dropped. The server has no thread of its own: Serve() runs the loop. With
// --no-socket it listens nowhere and only keeps the analyzer for the other
// doors.
#include <chrono>
#include <iosfwd>
#include <mutex>
#include <string>

#include "simserver/server_options.h"
#include "simserver/shared_analyzer.h"

namespace multitone::simserver {

class AnalyzerServer {
 public:
  static constexpr std::chrono::seconds kSendTimeout{10};

  // Binds and listens at once; throws std::runtime_error with a message when
  // the address cannot be used.
  explicit AnalyzerServer(const ServerOptions& options);
  ~AnalyzerServer();
  AnalyzerServer(const AnalyzerServer&) = delete;
  AnalyzerServer& operator=(const AnalyzerServer&) = delete;

  // The analyzer, for the VXI-11 door to share.
  SharedAnalyzer& Shared() { return shared_; }
  // Rewrites the --screen file if the display changed (call with the
  // analyzer's mutex held).
  void UpdateScreen(std::ostream& log);

  // "127.0.0.1:5025", the address actually bound; empty with --no-socket.
  const std::string& Address() const { return address_; }

  // Serves clients until `stop_fd` becomes readable. Problems of a client
  // are reported on `log` and end that client's session only.
  void Serve(int stop_fd, std::ostream& log);

 private:
  // Runs one client's session; returns when it ends or a stop is asked for.
  void ServeClient(int client, int stop_fd, std::ostream& log);
  bool SendReply(int client, const std::string& reply);
  // Waits, with the mutex held in `hold`, while a VXI-11 link holds the
  // device lock; false when a stop is asked for meanwhile.
  bool WaitForDeviceLock(std::unique_lock<std::mutex>& hold, int stop_fd);

  ServerOptions options_;
  SharedAnalyzer shared_;
  int listen_fd_ = -1;
  std::string address_;
  std::uint64_t screen_version_ = ~std::uint64_t{0};
};

}  // namespace multitone::simserver
