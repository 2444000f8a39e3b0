#include "sim/interpreter.h"

#include <vector>

#include "sim/command_table.h"
#include "sim/header_pattern.h"

namespace multitone::sim {
namespace {

void Dispatch(const ProgramUnit& unit, CommandContext& context) {
  for (const Command& command : CommandTable()) {
    Suffixes suffixes{};
    if (!MatchHeader(command.pattern, unit, suffixes)) continue;
    if (unit.parameters.size() > command.max_parameters) {
      throw ScpiFailure(ScpiCode::ParameterNotAllowed, unit.header);
    }
    if (unit.parameters.size() < command.min_parameters) {
      throw ScpiFailure(ScpiCode::MissingParameter, unit.header);
    }
    command.handler(context, Call{unit, suffixes, command.argument});
    return;
  }
  throw ScpiFailure(ScpiCode::UndefinedHeader, unit.header);
}

}  // namespace

void Interpreter::Input(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (discarding_) {
      if (end == std::string_view::npos) return;
      discarding_ = false;
    } else if (line_.size() + piece.size() > kMaxLineBytes) {
      ReportError(ScpiCode::InputBufferOverrun, "line over " + std::to_string(kMaxLineBytes) + " bytes");
      line_.clear();
      line_.shrink_to_fit();
      if (end == std::string_view::npos) {
        discarding_ = true;
        return;
      }
    } else {
      line_.append(piece);
      if (end == std::string_view::npos) return;
      Execute(line_);
      line_.clear();
    }
    bytes.remove_prefix(end + 1);
  }
}

void Interpreter::Execute(std::string_view message) {
  if (!message.empty() && message.back() == '\r') message.remove_suffix(1);
  CommandContext context{instrument_, errors_, status_, HasReply(), {}};
  std::vector<HeaderNode> path;
  for (const std::string_view text : SplitUnits(message)) {
    try {
      ProgramUnit unit;
      if (!ParseUnit(text, path, unit)) continue;
      Dispatch(unit, context);
    } catch (const ScpiFailure& failure) {
      ReportError(failure.Code(), failure.Detail());
      if (IsCommandError(failure.Code())) break;  // the rest of the message cannot be trusted
    }
  }
  if (context.answers.empty()) return;
  std::string reply;
  for (std::size_t i = 0; i < context.answers.size(); ++i) {
    if (i > 0) reply += ';';
    reply += context.answers[i];
  }
  reply += '\n';
  PushReply(std::move(reply));
}

void Interpreter::PushReply(std::string reply) {
  if (pending_bytes_ + reply.size() > kMaxPendingBytes) {
    ReportError(ScpiCode::QueryInterrupted, "unread replies discarded");
    replies_.clear();
    pending_bytes_ = 0;
    if (reply.size() > kMaxPendingBytes) return;
  }
  pending_bytes_ += reply.size();
  replies_.push_back(std::move(reply));
}

std::optional<std::string> Interpreter::TakeReply() {
  if (replies_.empty()) return std::nullopt;
  std::string reply = std::move(replies_.front());
  replies_.pop_front();
  pending_bytes_ -= reply.size();
  return reply;
}

void Interpreter::ReportError(ScpiCode code, std::string_view detail) {
  if (errors_.Size() >= ErrorQueue::kCapacity) status_.NoteError(ScpiCode::QueueOverflow);
  errors_.Push(code, detail);
  status_.NoteError(code);
}

void Interpreter::Clear() {
  line_.clear();
  discarding_ = false;
  replies_.clear();
  pending_bytes_ = 0;
}

void Interpreter::StartSession() {
  line_.clear();
  discarding_ = false;
  replies_.clear();
  pending_bytes_ = 0;
  instrument_.RestartDeviceClock();
}

}  // namespace multitone::sim
