#include "support/scripted_analyzer.h"

#include "common/run_error.h"

namespace multitone {

class ScriptedTransport : public Transport {
 public:
  explicit ScriptedTransport(ScriptedAnalyzer& analyzer) : analyzer_(analyzer) {}

  void Initialize(std::string_view text) override {
    analyzer_.Record(ScriptedOperation::Kind::Initialize, std::string(text));
  }

  void Write(std::string_view text) override {
    analyzer_.Record(ScriptedOperation::Kind::Write, std::string(text));
    if (const std::string* reply = analyzer_.ReplyTo(text)) {
      analyzer_.pending_ = *reply;
      analyzer_.has_pending_ = true;
    }
  }

  std::string Read() override {
    if (!analyzer_.has_pending_) {
      analyzer_.Record(ScriptedOperation::Kind::Read, "");
      throw RunError(ErrorNumber::AnalyzerOperationFailed, "no reply pending");
    }
    analyzer_.has_pending_ = false;
    analyzer_.Record(ScriptedOperation::Kind::Read, analyzer_.pending_);
    return analyzer_.pending_;
  }

  std::vector<float> ReadBlock(std::string_view query) override {
    analyzer_.Record(ScriptedOperation::Kind::ReadBlock, std::string(query));
    const std::vector<float>* block = analyzer_.BlockFor(query);
    if (block == nullptr) {
      throw RunError(ErrorNumber::AnalyzerOperationFailed,
                     "no block scripted for " + std::string(query));
    }
    return *block;
  }

  void Close() override { analyzer_.Record(ScriptedOperation::Kind::Close, ""); }

 private:
  ScriptedAnalyzer& analyzer_;
};

std::string Describe(const ScriptedOperation& operation) {
  switch (operation.kind) {
    case ScriptedOperation::Kind::Initialize: return "Initialize " + operation.text;
    case ScriptedOperation::Kind::Write: return "Write " + operation.text;
    case ScriptedOperation::Kind::Read: return "Read " + operation.text;
    case ScriptedOperation::Kind::ReadBlock: return "ReadBlock " + operation.text;
    case ScriptedOperation::Kind::Close: return "Close";
  }
  return "?";
}

void ScriptedAnalyzer::FailAtOperation(std::size_t number, std::string reason) {
  fail_at_ = number;
  fail_reason_ = std::move(reason);
}

const std::string* ScriptedAnalyzer::ReplyTo(std::string_view text) const {
  const auto reply = replies_.find(text);
  return reply == replies_.end() ? nullptr : &reply->second;
}

const std::vector<float>* ScriptedAnalyzer::BlockFor(std::string_view query) const {
  const auto block = blocks_.find(query);
  return block == blocks_.end() ? nullptr : &block->second;
}

std::unique_ptr<Transport> ScriptedAnalyzer::Connect() {
  ++connections_;
  return std::make_unique<ScriptedTransport>(*this);
}

std::vector<std::string> ScriptedAnalyzer::Received() const {
  std::vector<std::string> texts;
  for (const auto& op : operations_) {
    if (op.kind == ScriptedOperation::Kind::Write || op.kind == ScriptedOperation::Kind::ReadBlock) {
      texts.push_back(op.text);
    }
  }
  return texts;
}

void ScriptedAnalyzer::Record(ScriptedOperation::Kind kind, std::string text) {
  if (operations_.size() == fail_at_) {
    throw RunError(ErrorNumber::AnalyzerOperationFailed, fail_reason_);
  }
  operations_.push_back({kind, std::move(text)});
}

}  // namespace multitone
