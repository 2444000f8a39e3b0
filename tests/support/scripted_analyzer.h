#pragma once
// An analyzer that answers from a script and records every operation asked of
// it, for tests and benchmarks. A written query that the script knows makes
// its reply pending for the next Read; a block query returns its scripted
// values. Anything the script does not know fails like a real link would
// (RunError 440), and any operation can be made to fail on purpose.
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/transport.h"

namespace multitone {

struct ScriptedOperation {
  enum class Kind { Initialize, Write, Read, ReadBlock, Close };
  Kind kind;
  std::string text;  // Initialize's text, the text written, the reply read, the block query; "" for Close
  friend bool operator==(const ScriptedOperation&, const ScriptedOperation&) = default;
};

// "Write SENS:UNIT?", for test messages.
std::string Describe(const ScriptedOperation& operation);

class ScriptedAnalyzer {
 public:
  void Answer(std::string query, std::string reply) { replies_[std::move(query)] = std::move(reply); }
  void AnswerBlock(std::string query, std::vector<float> values) {
    blocks_[std::move(query)] = std::move(values);
  }
  // Drops whatever the script answers to `text`.
  void Forget(std::string_view text) {
    if (const auto r = replies_.find(text); r != replies_.end()) replies_.erase(r);
    if (const auto b = blocks_.find(text); b != blocks_.end()) blocks_.erase(b);
  }
  // The operation with this 0-based number fails with RunError 440 and
  // `reason`, before it takes effect.
  void FailAtOperation(std::size_t number, std::string reason);

  // A transport on this analyzer. REQUIRES: the analyzer outlives it.
  std::unique_ptr<Transport> Connect();

  // What the script answers to a text: a reply, a block, or nullptr.
  const std::string* ReplyTo(std::string_view text) const;
  const std::vector<float>* BlockFor(std::string_view query) const;

  const std::vector<ScriptedOperation>& Operations() const { return operations_; }
  // The texts the analyzer received, in order: every Write and every block
  // query, as they would cross the wire.
  std::vector<std::string> Received() const;
  std::size_t Connections() const { return connections_; }

 private:
  friend class ScriptedTransport;
  void Record(ScriptedOperation::Kind kind, std::string text);

  std::map<std::string, std::string, std::less<>> replies_;
  std::map<std::string, std::vector<float>, std::less<>> blocks_;
  std::vector<ScriptedOperation> operations_;
  std::size_t fail_at_ = static_cast<std::size_t>(-1);
  std::string fail_reason_;
  std::string pending_;
  bool has_pending_ = false;
  std::size_t connections_ = 0;
};

}  // namespace multitone
