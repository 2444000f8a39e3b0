#include "station/unit_names.h"

#include "common/utf8_text.h"
#include "verdict/serial_pattern.h"

namespace multitone {
namespace {

bool BlankAtAnEnd(std::string_view text) {
  return text.front() == ' ' || text.back() == ' ';
}

}  // namespace

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
  if (BlankAtAnEnd(serial)) return "the serial number starts or ends with a blank";
  if (!pattern.empty()) {
    if (!MatchesPattern(serial, pattern)) {
      return "serial '" + std::string(serial) + "' does not match the pattern " + pattern;
    }
  }
  return std::nullopt;
}

std::optional<std::string> NameProblem(std::string_view name, std::string_view what) {
  const std::string subject(what);
  if (name.empty()) return subject + " is empty";
  if (!IsValidUtf8(name)) return subject + " is not valid UTF-8";
  if (PrintableUtf8(name) != name || name.find('\t') != std::string_view::npos ||
      name.find('\n') != std::string_view::npos) {
    return subject + " may hold printable characters only (no control characters)";
  }
  if (Utf8Length(name) > 64) return subject + " is longer than 64 characters";
  if (BlankAtAnEnd(name)) return subject + " starts or ends with a blank";
  return std::nullopt;
}

}  // namespace multitone
