#pragma once
// The standard SCPI error codes this analyzer reports, their texts defined
// once, and the exception a command handler throws to report one. The
// dispatcher, not the handler, puts errors into the error queue.
#include <stdexcept>
#include <string>
#include <string_view>

namespace multitone::sim {

enum class ScpiCode : int {
  NoError = 0,
  InvalidCharacter = -101,
  SyntaxError = -102,
  DataTypeError = -104,
  ParameterNotAllowed = -108,
  MissingParameter = -109,
  UndefinedHeader = -113,
  HeaderSuffixOutOfRange = -114,
  InvalidSuffix = -131,
  InvalidStringData = -151,
  DataOutOfRange = -222,
  IllegalParameterValue = -224,
  QueueOverflow = -350,
  InputBufferOverrun = -363,
  QueryInterrupted = -410,
  QueryUnterminated = -420,
};

// "Undefined header", "No error", ...
std::string_view ScpiText(ScpiCode code);

// Command errors (-100..-199) abandon the rest of the message; the others
// only fail the command that raised them.
bool IsCommandError(ScpiCode code);

// Thrown by parsers and handlers; `detail` names what was wrong (it follows
// the standard text after a ";" in SYST:ERR? answers).
class ScpiFailure : public std::runtime_error {
 public:
  ScpiFailure(ScpiCode code, std::string detail)
      : std::runtime_error(detail), code_(code), detail_(std::move(detail)) {}
  ScpiCode Code() const { return code_; }
  const std::string& Detail() const { return detail_; }

 private:
  ScpiCode code_;
  std::string detail_;
};

}  // namespace multitone::sim
