#include "station/serial_number.h"

#include "verdict/serial_pattern.h"

namespace multitone {

std::optional<std::string> SerialProblem(std::string_view serial, const std::string& pattern) {
  if (serial.empty()) return "the serial number is empty";
  if (serial.size() > 64) return "the serial number is longer than 64 characters";
  for (const char c : serial) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7e) {
      return "the serial number may hold printable characters only (no control characters, "
             "tabs or non-ASCII bytes)";
    }
  }
  if (!pattern.empty()) {
    if (!MatchesPattern(serial, pattern)) {
      return "serial '" + std::string(serial) + "' does not match the pattern " + pattern;
    }
  }
  return std::nullopt;
}

}  // namespace multitone
