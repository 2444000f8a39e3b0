#pragma once
// A scripted analyzer served over TCP on 127.0.0.1: it answers every line it
// receives from the script (a reply and an LF, or a block) and records the
// lines, so a test can compare the whole traffic of a run.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/scripted_analyzer.h"
#include "support/loopback_server.h"

namespace multitone::testing {

// Where a scripted server cuts the connection: after receiving `after_lines`
// lines (0: as soon as the client connects), before answering the last one.
struct ConnectionCut {
  enum class How { Close, Reset };
  std::size_t after_lines = 0;
  How how = How::Close;
};

class ScriptedServer {
 public:
  // REQUIRES: `script` outlives the server and is not changed while it runs.
  explicit ScriptedServer(const ScriptedAnalyzer& script, int connections = 1,
                          std::optional<ConnectionCut> cut = std::nullopt);

  std::string Address() const { return server_.Address(); }
  int Port() const { return server_.Port(); }
  // The lines received so far, in order.
  std::vector<std::string> Received() const;
  // True once the client closed the connection after its last line.
  bool ClientClosed() const;

 private:
  void Serve(ServerConnection& connection);

  const ScriptedAnalyzer& script_;
  mutable std::mutex mutex_;
  std::vector<std::string> received_;
  bool client_closed_ = false;
  std::optional<ConnectionCut> cut_;
  LoopbackServer server_;  // last: starts serving once the rest is ready
};

}  // namespace multitone::testing
