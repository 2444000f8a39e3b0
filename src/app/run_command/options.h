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
  bool analyzer_given = false; // --analyzer was on the command line

  // A unit on a production line: its identity, its limits and the outputs.
  std::string limits_file;     // --limits: judge the unit (verdict, exit status)
  std::string serial;          // --serial ("-": one line from standard input)
  bool serial_given = false;   // --serial was on the command line (an empty one is refused)
  std::string station;         // --station (default: the host name)
  bool station_given = false;  // --station was on the command line (an empty name is refused)
  std::string operator_name;   // --operator
  std::string json_file;       // --json ("-": standard output)
  std::string junit_file;      // --junit
  std::string report_file;     // --report (HTML)
  bool quiet = false;          // no progress line on a terminal

  // The results store: every run kept, whatever its verdict.
  std::string results;         // --results URL (sqlite:PATH, postgresql://...)
  std::string spool;           // --spool PATH: runs on their way to PostgreSQL

  // From a station file as much as from the command line.
  std::string config;          // --config: the station file (app/station_file.h)
  std::string prompt;          // --prompt: shown on stderr before --serial - reads the serial
  std::string json_folder;     // --json-dir: SERIAL-TIME.json there when --json is not given
  std::string junit_folder;    // --junit-dir: SERIAL-TIME.xml
  std::string report_folder;   // --report-dir: SERIAL-TIME.html
  // The run's analyzer exchange recorded, and a recorded run replayed.
  std::string record_file;     // --record FILE
  bool replay_timing = false;  // --replay-timing: replay:FILE keeps the recorded delays
};

// Parses argv into `options`, then takes what the command line left out
// from the station file. Returns an exit status when the program should
// end at once: 0 after --help or --version, 2 after a bad argument or a
// --screen file that cannot be written, or a bad station file (the cause on
// stderr).
std::optional<int> ParseOptions(int argc, const char* const* argv, ProgramOptions& options);

}  // namespace multitone
