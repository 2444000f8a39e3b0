#pragma once
// The analyzer's command interpreter: bytes in through Input(), whole
// replies out through TakeReply(); no sockets. A line (up to its LF; a CR
// before the LF is dropped) is one message; its queries' answers leave as one
// reply, joined by ";" and ended by one LF. The dispatcher matches headers
// against the command table and owns the error queue.
//
// Errors set the IEEE 488.2 status bit of their class (sim/status_model.h).
//
// Bounds: a line over kMaxLineBytes is discarded up to its LF (-363); unread
// replies over kMaxPendingBytes are discarded (-410); the error queue holds
// ErrorQueue::kCapacity entries (-350). Nothing else grows with the input.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "sim/error_queue.h"
#include "sim/instrument.h"
#include "sim/scpi_parser.h"
#include "sim/status_model.h"

namespace multitone::sim {

class Interpreter {
 public:
  static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;
  static constexpr std::size_t kMaxPendingBytes = std::size_t{8} << 20;

  // REQUIRES: `instrument` outlives the interpreter.
  explicit Interpreter(Instrument& instrument) : instrument_(instrument) {}

  // Takes any bytes, in any pieces; complete lines run at once.
  void Input(std::string_view bytes);

  // The oldest unread reply with its LF, or nothing.
  std::optional<std::string> TakeReply();
  bool HasReply() const { return !replies_.empty(); }
  std::size_t PendingBytes() const { return pending_bytes_; }

  // A new client: a partial line and unread replies of the last one are
  // dropped; the error queue and the instrument's settings and display stay
  // as they are. The device's clock starts over, so a session sees the same
  // signal, phases and noise as every other session with the same seed,
  // whatever clients came and went before it.
  void StartSession();

  // Device clear (VXI-11 device_clear): a partial line and unread replies
  // are dropped; settings, status registers, the error queue and the
  // device's clock stay as they are.
  void Clear();

  // Queues an error found outside a command (the message exchange of a
  // door) and sets its status bit.
  void ReportError(ScpiCode code, std::string_view detail = {});

  ErrorQueue& Errors() { return errors_; }
  StatusModel& Status() { return status_; }

 private:
  void Execute(std::string_view message);
  void PushReply(std::string reply);

  Instrument& instrument_;
  ErrorQueue errors_;
  StatusModel status_;
  std::string line_;
  bool discarding_ = false;
  std::deque<std::string> replies_;
  std::size_t pending_bytes_ = 0;
};

}  // namespace multitone::sim
