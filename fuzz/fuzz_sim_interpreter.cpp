// The simulated analyzer's command interpreter on arbitrary bytes, in
// arbitrary pieces, across sessions, on one long-lived analyzer as a server
// keeps it. Invariants: no crash; every reply ends with its LF; unread
// replies, the error queue and the stored texts stay within their bounds
// however much goes in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "sim/device_options.h"
#include "sim/simulated_analyzer.h"

namespace {

multitone::sim::SimulatedAnalyzer& Analyzer() {
  static multitone::sim::SimulatedAnalyzer analyzer{multitone::sim::DeviceOptions{}};
  return analyzer;
}

// What the analyzer holds of what clients wrote: memory strings, the
// explanation window's texts and the trace lists. Each text is at most one
// line, each trace list at most kMaxTracePoints values.
std::size_t StoredBytes(const multitone::sim::InstrumentState& state) {
  std::size_t bytes = state.explanation.text.size() + state.explanation.placement.size();
  for (const auto& text : state.memory) bytes += text.size();
  for (const auto& trace : state.sweep.traces) {
    bytes += (trace.x.size() + trace.y.size()) * sizeof(double);
  }
  return bytes;
}

constexpr std::size_t kMaxStoredBytes =
    (multitone::sim::kMemoryStrings + 2) * multitone::sim::Interpreter::kMaxLineBytes +
    4 * multitone::sim::kMaxTracePoints * sizeof(double);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using multitone::sim::ErrorQueue;
  using multitone::sim::Interpreter;
  auto& interpreter = Analyzer().GetInterpreter();
  if (size == 0) return 0;

  // The first byte: piece size (1 to 64) and whether replies are read
  // between pieces; bit 7 starts a new session first.
  const std::uint8_t control = data[0];
  if (control & 0x80) interpreter.StartSession();
  const std::size_t piece = static_cast<std::size_t>(control & 0x3f) + 1;
  const bool drain_between = (control & 0x40) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    interpreter.Input(bytes.substr(at, piece));
    FUZZ_EXPECT(interpreter.PendingBytes() <= Interpreter::kMaxPendingBytes,
                std::to_string(interpreter.PendingBytes()) + " bytes of unread replies");
    FUZZ_EXPECT(interpreter.Errors().Size() <= ErrorQueue::kCapacity,
                std::to_string(interpreter.Errors().Size()) + " queued errors");
    while (drain_between && interpreter.HasReply()) {
      const auto reply = interpreter.TakeReply();
      FUZZ_EXPECT(reply && !reply->empty() && reply->back() == '\n', "a reply without its LF");
    }
  }
  while (interpreter.HasReply()) {
    const auto reply = interpreter.TakeReply();
    FUZZ_EXPECT(reply && !reply->empty() && reply->back() == '\n', "a reply without its LF");
  }
  // Read the queue empty now and then, as a client asking SYST:ERR? would.
  if (control & 0x01) interpreter.Errors().Clear();
  const std::size_t stored = StoredBytes(Analyzer().GetInstrument().State());
  FUZZ_EXPECT(stored <= kMaxStoredBytes, std::to_string(stored) + " bytes stored");
  return 0;
}
