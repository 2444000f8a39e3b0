#include "app/run_command/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "app/run_command/output_names.h"
#include "app/doors/replay_analyzer.h"
#include "app/setup/station_options.h"
#include "app/subcommands.h"
#include "link/analyzer_address.h"
#include "app/setup/usage_error.h"
#include "app/setup/whole_number_check.h"
#include "common/durable_file.h"
#include "sim/device_options.h"

namespace multitone {
namespace {

// Why the --screen file cannot be used; empty when it can.
std::string ScreenProblem(const ProgramOptions& options) {
  if (!NamesSimulatedAnalyzer(options.analyzer)) {
    return "--screen needs the simulated analyzer (--analyzer sim); a real analyzer shows its own display";
  }
  const std::string why = WhyFileCannotBeWritten(options.screen_svg);
  return why.empty() ? "" : "--screen: " + why;
}

}  // namespace

std::optional<int> ParseOptions(int argc, const char* const* argv, ProgramOptions& options) {
  CLI::App app(
      "multitone: unattended production test of a two-channel playback device.\n"
      "Drives a two-channel audio analyzer over SCPI: measures the speed (pitch) error on\n"
      "the 1 kHz reference tone, takes one FFT of the 16-tone multitone signal, computes\n"
      "frequency response, crosstalk, distortion and signal-to-noise, and writes the\n"
      "results back into the analyzer; with --limits it judges the unit. Exit status: 0 done\n"
      "(PASS or MARGINAL), 1 the run failed (one line \"error N: Step: what went wrong\" on\n"
      "stderr), 2 bad command line, limits file or serial, 3 FAIL, 4 the station stops on an\n"
      "open alarm (stop_on_alarm). Other commands: see the end.",
      "multitone");
  app.add_option("--analyzer", options.analyzer,
                 "The analyzer: tcp://HOST[:PORT] (port 5025 by default) or "
                 "TCPIP::HOST::PORT::SOCKET for a raw socket; TCPIP::HOST[::inst0][::INSTR] or, behind "
                 "a LAN/GPIB gateway, TCPIP::HOST::gpib0,ADDR::INSTR for VXI-11; "
                 "TCPIP::HOST::hislip0[,4880]::INSTR for HiSLIP; "
                 "ASRL/dev/PATH::INSTR[?baud=9600,bits=8,parity=none,stop=1,flow=none,term=lf] for a "
                 "serial line; prologix://HOST[:1234]/ADDR or ASRL/dev/PATH::INSTR?gpib=ADDR for a "
                 "++ GPIB controller; sim[:OPTIONS] for the built-in simulated analyzer (the default); "
                 "or replay:FILE for a run recorded with --record FILE")
      ->type_name("ADDRESS")
      ->check(CLI::Validator(
          [](const std::string& address) { return address.empty() ? "empty analyzer address" : ""; }, ""));
  app.add_option("--timeout", options.timeout_ms,
                 "Longest wait for one analyzer operation, in milliseconds")
      ->type_name("MS")
      ->check(WholeNumberCheck(1, 24 * 3600 * 1000, "milliseconds"))
      ->capture_default_str();
  app.add_flag("--trace", options.trace, "Show every analyzer operation on stderr as it happens");
  app.add_option("--screen", options.screen_svg,
                 "With the simulated analyzer: write its display as an SVG file")
      ->type_name("FILE.svg");
  app.add_option("--limits", options.limits_file,
                 "Judge the unit against the limits in this TOML file: one verdict line on stdout "
                 "and the exit status 0 PASS/MARGINAL, 1 ERROR, 3 FAIL")
      ->type_name("FILE");
  app.add_option("--serial", options.serial,
                 "The unit's serial number, 1 to 64 printable characters (\"-\": one line from "
                 "standard input, as a barcode scanner types it)")
      ->type_name("TEXT");
  app.add_option("--station", options.station, "This station's name (default: the host name)")
      ->type_name("NAME");
  app.add_option("--operator", options.operator_name, "Who runs the station")->type_name("NAME");
  app.add_option("--json", options.json_file,
                 "Write the result document (JSON) to FILE, atomically (\"-\": stdout)")
      ->type_name("FILE");
  app.add_option("--junit", options.junit_file, "Write the result as JUnit XML")->type_name("FILE");
  app.add_option("--report", options.report_file, "Write the result as one HTML page")
      ->type_name("FILE.html");
  app.add_flag("--quiet", options.quiet, "No progress line on a terminal");
  app.add_option("--results", options.results,
                 "Store the run: sqlite:PATH (or a file ending in .db or .sqlite), or "
                 "postgresql://... (password from PGPASSWORD or ~/.pgpass)")
      ->type_name("URL");
  app.add_option("--spool", options.spool,
                 "With postgresql://: the local spool of runs not yet on the server "
                 "(default: multitone-spool.db in $XDG_STATE_HOME or ~/.local/state)")
      ->type_name("PATH");
  app.add_option("--record", options.record_file,
                 "Record every analyzer operation of the run (what was sent, what came back, when, "
                 "and errors) in FILE, for --analyzer replay:FILE to answer a later run from")
      ->type_name("FILE");
  app.add_flag("--replay-timing", options.replay_timing,
               "With --analyzer replay:FILE: keep the recorded delays instead of answering at once");
  app.add_option("--prompt", options.prompt,
                 "With --serial -: what the operator is asked before the serial is read")
      ->type_name("TEXT");
  app.add_option("--json-dir", options.json_folder,
                 "Without --json: write the result document to SERIAL-TIME.json in this folder")
      ->type_name("DIR");
  app.add_option("--junit-dir", options.junit_folder,
                 "Without --junit: write JUnit XML to SERIAL-TIME.xml in this folder")
      ->type_name("DIR");
  app.add_option("--report-dir", options.report_folder,
                 "Without --report: write the HTML page to SERIAL-TIME.html in this folder")
      ->type_name("DIR");
  AddConfigOption(app, options.config);
  app.set_version_flag("--version", std::string("multitone ") + MULTITONE_VERSION);
  // Made only when the help is shown: a run does not pay for it. CLI11 ends a
  // footer made this way with a line feed of its own.
  app.footer(std::function<std::string()>([] {
    std::string footer = "The simulated analyzer's device, as sim:KEY=VALUE,KEY=VALUE (range, default):\n" +
                         sim::DeviceOptionsHelp();
    footer += "\nOther commands, each with its own --help (multitone COMMAND --help):\n";
    for (const Subcommand& command : Subcommands()) {
      footer += "  " + std::string(command.name) + std::string(10 - std::min<std::size_t>(command.name.size(), 9), ' ') +
                std::string(command.summary) + "\n";
    }
    if (!footer.empty() && footer.back() == '\n') footer.pop_back();
    return footer;
  }));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::CallForVersion&) {
    std::cout << "multitone " << MULTITONE_VERSION << '\n';
    return 0;
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what(), std::cerr);
  }
  try {
    ApplyStationFile(app, options.config);
  } catch (const StationFileError& error) {
    std::cerr << "multitone: " << error.what() << '\n';
    return kUsageErrorStatus;
  }
  if (app.count("--screen") > 0) {
    if (const std::string problem = ScreenProblem(options); !problem.empty()) {
      return UsageError(problem, std::cerr);
    }
  }
  for (const auto* folder : {&options.json_folder, &options.junit_folder, &options.report_folder}) {
    if (folder->empty()) continue;
    if (const std::string problem = FolderProblem(*folder); !problem.empty()) {
      return UsageError("result folder " + problem, std::cerr);
    }
  }
  if (options.replay_timing && !IsReplayAddress(options.analyzer)) {
    return UsageError("--replay-timing needs --analyzer replay:FILE", std::cerr);
  }
  if (app.count("--record") > 0) {
    if (const std::string why = WhyFileCannotBeWritten(options.record_file); !why.empty()) {
      return UsageError("--record: " + why, std::cerr);
    }
  }
  options.analyzer_given = app.count("--analyzer") > 0;
  options.station_given = app.count("--station") > 0;
  options.serial_given = app.count("--serial") > 0;
  // A station must never pass units on the simulator by mistake: everything
  // that records or judges a unit needs the analyzer named explicitly.
  if (!options.analyzer_given) {
    for (const char* name : {"--limits", "--serial", "--json", "--junit", "--report", "--json-dir",
                             "--junit-dir", "--report-dir"}) {
      if (app.count(name) > 0) {
        return UsageError(std::string(name) +
                              " needs an explicit --analyzer (sim:... for the simulated analyzer)",
                          std::cerr);
      }
    }
  }
  return std::nullopt;
}

}  // namespace multitone
