#include "support/scripted_server.h"

namespace multitone::testing {

ScriptedServer::ScriptedServer(const ScriptedAnalyzer& script, int connections,
                               std::optional<ConnectionCut> cut)
    : script_(script), cut_(cut), server_([this](ServerConnection& c) { Serve(c); }, connections) {}

std::vector<std::string> ScriptedServer::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool ScriptedServer::ClientClosed() const {
  std::lock_guard lock(mutex_);
  return client_closed_;
}

void ScriptedServer::Serve(ServerConnection& connection) {
  for (std::size_t lines = 0;; ++lines) {
    if (cut_ && lines == cut_->after_lines) {
      if (cut_->how == ConnectionCut::How::Reset) {
        connection.Reset();
      } else {
        connection.Close();
      }
      return;
    }
    const auto line = connection.ReadLine(std::chrono::seconds(10));
    if (!line) break;
    {
      std::lock_guard lock(mutex_);
      received_.push_back(*line);
    }
    if (const auto* block = script_.BlockFor(*line)) {
      connection.Send(BlockBytes(*block));
    } else if (const auto* reply = script_.ReplyTo(*line)) {
      connection.Send(*reply + "\n");
    }
  }
  std::lock_guard lock(mutex_);
  client_closed_ = true;
}

}  // namespace multitone::testing
