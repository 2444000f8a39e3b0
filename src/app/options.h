#pragma once
// The command line of multitone.
#include <optional>
#include <string>

namespace multitone {

struct ProgramOptions {
  std::string analyzer;        // "tcp://HOST[:PORT]", "sim[:OPTIONS]"; empty: not given, simulated
  int timeout_ms = 20000;      // bounds each analyzer operation as a whole
  bool trace = false;          // every link operation on stderr
  std::string screen_svg;      // embedded analyzer: where its display goes
};

// Parses argv into `options`. Returns an exit status when the program should
// end at once: 0 after --help or --version, 2 after a bad argument or a
// --screen file that cannot be written (the cause on stderr).
std::optional<int> ParseOptions(int argc, const char* const* argv, ProgramOptions& options);

}  // namespace multitone
