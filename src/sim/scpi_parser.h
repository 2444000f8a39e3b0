#pragma once
// The syntax of one program message (a line without its LF): units joined by
// ";", each a header and its parameters. Headers are case-insensitive; a
// leading ":" starts at the root, otherwise a header continues the path of
// the previous unit of the same message; common commands ("*WAI") leave the
// path alone. Parameters are split at "," outside quotes; a quoted string
// ('...' or "...", the quote doubled inside) may hold ";", "," and blanks.
#include <string>
#include <string_view>
#include <vector>

namespace multitone::sim {

// More parameters than this in one unit is -108 (no command takes as many).
constexpr std::size_t kMaxParameters = 2048;

struct HeaderNode {
  std::string mnemonic;  // upper case, without its numeric suffix
  int suffix = 0;        // 0: none written
};

struct Parameter {
  bool quoted = false;
  std::string text;  // a string's content, or the token with blanks trimmed
};

struct ProgramUnit {
  std::string header;  // as written, for error details
  bool common = false; // "*IDN?"
  bool query = false;
  std::vector<HeaderNode> nodes;  // resolved against the path
  std::vector<Parameter> parameters;
};

// The units of a message, split at ";" outside quotes. An unterminated
// quote runs to the end of the message (and fails when that unit is parsed).
std::vector<std::string_view> SplitUnits(std::string_view message);

// Parses one unit; `path` is the compound path, updated for the next unit
// (start each message with an empty one). Returns false for an empty unit.
// Throws ScpiFailure with a command error (-101, -102, -113, -114, -151).
bool ParseUnit(std::string_view unit, std::vector<HeaderNode>& path, ProgramUnit& out);

}  // namespace multitone::sim
