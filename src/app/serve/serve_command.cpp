#include "app/serve/serve_command.h"

#include "app/setup/command_line.h"
#include "app/setup/whole_number_check.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "app/serve/kept_records_history.h"
#include "app/run_command/run_recording.h"
#include "app/serve/serve_line.h"
#include "app/serve/serve_until_signalled.h"
#include "app/setup/station_options.h"
#include "app/setup/station_setup.h"
#include "app/setup/token_file.h"
#include "server/access_rules.h"
#include "server/listen_address.h"
#include "server/run_history.h"
#include "server/store_run_history.h"
#include "store/run_storage.h"
#include "server/station_server.h"
#include "station/golden_gate.h"

namespace multitone {
namespace {

struct ServeOptions {
  std::string analyzer;
  std::string limits;
  std::string results;
  std::string spool;
  std::string station;
  std::string listen = "127.0.0.1:8080";
  std::string token;
  std::string token_file;
  std::string config;
  int timeout_ms = 20000;
  std::string record_folder;  // --record DIR: a record per run
  bool line = false;          // --line: the line page instead of a station
  int shift_hours = 8;
  std::string shift_start = "06:00";
};

int Usage(const std::string& message) {
  std::cerr << "multitone serve: " << message << "\nsee multitone serve --help\n";
  return 2;
}

// The token and address the server listens with: the token from --token,
// MULTITONE_TOKEN or --token-file; a token is needed to listen beyond
// loopback, where `exposed` says what other machines could do. Empty when
// they are sound, else the usage error.
std::string CheckAccess(ServeOptions& options, std::optional<server::ListenAddress>& listen,
                        const std::string& exposed) {
  if (options.token.empty()) {
    if (const char* token = std::getenv("MULTITONE_TOKEN")) options.token = token;
  }
  if (options.token.empty() && !options.token_file.empty()) {
    const TokenFromFile read = ReadTokenFile(options.token_file);
    if (!read.problem.empty()) return read.problem;
    options.token = read.token;
  }
  listen = server::ParseListenAddress(options.listen);
  if (!listen) return "--listen '" + options.listen + "' is not HOST:PORT";
  if (!options.token.empty() && !server::IsAcceptableToken(options.token)) {
    return "the token must be 8 to 256 letters, digits or -._~";
  }
  if (options.token.empty() && !server::IsLoopbackHost(listen->host)) {
    return "listening on " + listen->host + " " + exposed + ": give --token (or MULTITONE_TOKEN)";
  }
  return "";
}

// Where the station's finished runs go: the results store when one is
// given, else the server's own memory.
std::unique_ptr<server::RunHistory> MakeHistory(const ServeOptions& options, const std::string& station) {
  if (options.results.empty()) return std::make_unique<server::MemoryRunHistory>();
  return std::make_unique<server::StoreRunHistory>(RunStorage{options.results, options.spool}, station);
}

}  // namespace

int ServeCommand(int argc, const char* const* argv) {
  ServeOptions options;
  CLI::App app(
      "multitone serve: the station's front panel. A web page for the operator (scan a\n"
      "serial, see PASS or FAIL) and an API for line software, for one analyzer and one\n"
      "run at a time. Listens on loopback unless a token is given.",
      "multitone serve");
  app.add_option("--analyzer", options.analyzer,
                 "The analyzer: tcp://HOST[:PORT], TCPIP::HOST::PORT::SOCKET, "
                 "TCPIP::HOST[::INSTR] (VXI-11), TCPIP::HOST::hislip0[,PORT]::INSTR (HiSLIP), or sim[:OPTIONS] for "
                 "the simulated one")
      ->type_name("ADDRESS");
  app.add_option("--limits", options.limits, "The limits every unit is judged against (TOML)")
      ->type_name("FILE");
  app.add_option("--results", options.results, "The results store every run is recorded in")
      ->type_name("URL");
  app.add_option("--spool", options.spool,
                 "With postgresql://: the local spool of runs not yet on the server "
                 "(default: multitone-spool.db in $XDG_STATE_HOME or ~/.local/state)")
      ->type_name("PATH");
  app.add_option("--station", options.station, "This station's name (default: the host name)")
      ->type_name("NAME");
  app.add_option("--record", options.record_folder,
                 "Keep each run's analyzer exchange as DIR/RUN_ID.jsonl (see multitone --record)")
      ->type_name("DIR")
      ->check(CLI::ExistingDirectory);
  app.add_option("--listen", options.listen, "Where the page and the API listen")
      ->type_name("HOST:PORT")
      ->capture_default_str();
  app.add_option("--token", options.token,
                 "The token every API request must carry (default: $MULTITONE_TOKEN); needed "
                 "to listen on any address but loopback")
      ->type_name("TOKEN");
  app.add_option("--token-file", options.token_file,
                 "Without --token and $MULTITONE_TOKEN: read the token from this file's first line")
      ->type_name("FILE");
  AddConfigOption(app, options.config);
  app.add_flag("--line", options.line,
               "Serve the line page instead of a station: every station's yield, failing "
               "figures, control charts, Cpk and alarms from --results, read-only, no analyzer");
  app.add_option("--shift-hours", options.shift_hours, "With --line: the length of a shift")
      ->type_name("HOURS")
      ->check(WholeNumberCheck(1, 24, "hours"))
      ->capture_default_str();
  app.add_option("--shift-start", options.shift_start,
                 "With --line: when the day's first shift starts, local time")
      ->type_name("HH:MM")
      ->capture_default_str();
  app.add_option("--timeout", options.timeout_ms, "Longest wait for one analyzer operation, in ms")
      ->type_name("MS")
      ->check(WholeNumberCheck(1, 24 * 3600 * 1000, "milliseconds"))
      ->capture_default_str();
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;
  // The line page reads the store and nothing else: an analyzer, limits or
  // records named for it are a mistake, not something to ignore.
  const bool station_options = app.count("--analyzer") > 0 || app.count("--limits") > 0 ||
                               app.count("--record") > 0 || app.count("--spool") > 0;
  if (options.line && station_options) {
    return Usage("--line serves the line page from the store alone: it takes no --analyzer, --limits, "
                 "--record or --spool");
  }
  if (!options.line && (app.count("--shift-hours") > 0 || app.count("--shift-start") > 0)) {
    return Usage("--shift-hours and --shift-start go with --line");
  }
  try {
    ApplyStationFile(app, options.config);
  } catch (const StationFileError& error) {
    std::cerr << "multitone serve: " << error.what() << '\n';
    return 2;
  }
  if (options.line) {
    server::LinePageConfig config;
    if (options.results.empty()) return Usage("--line needs --results (the line's store)");
    if (const std::string wrong = CheckResultsUrl(options.results); !wrong.empty()) return Usage(wrong);
    config.shifts.start_minutes = server::ParseClockTime(options.shift_start.c_str());
    if (config.shifts.start_minutes < 0) return Usage("--shift-start '" + options.shift_start + "' is not HH:MM");
    config.shifts.hours = options.shift_hours;
    std::optional<server::ListenAddress> listen;
    if (const std::string wrong = CheckAccess(options, listen, "shows the line to other machines"); !wrong.empty()) {
      return Usage(wrong);
    }
    config.listen = *listen;
    config.token = options.token;
    config.results = options.results;
    return ServeLine(config);
  }
  // Never a station on the simulator by accident, nor one without limits.
  if (options.analyzer.empty()) return Usage("--analyzer is required (or analyzer.address in the station file)");
  if (options.limits.empty()) return Usage("--limits is required (or limits in the station file)");

  std::optional<server::ListenAddress> listen;
  if (const std::string wrong = CheckAccess(options, listen, "lets other machines start runs"); !wrong.empty()) {
    return Usage(wrong);
  }
  if (!options.results.empty()) {
    if (const std::string wrong = CheckResultsUrl(options.results); !wrong.empty()) {
      return Usage(wrong);
    }
  }

  StationChoices choices;
  choices.analyzer = options.analyzer;
  choices.timeout = std::chrono::milliseconds(options.timeout_ms);
  choices.limits_file = options.limits;
  choices.station = options.station;
  choices.station_given = app.count("--station") > 0;
  auto recording = std::make_shared<RunRecording>();
  if (!options.record_folder.empty()) choices.wrap = recording->Wrap();
  StationSetup setup;
  if (const std::string why = BuildStationSetup(choices, setup); !why.empty()) {
    std::cerr << "multitone serve: " << why << '\n';
    return 2;
  }
  if (!options.record_folder.empty()) setup.create_analyzer = recording->Around(setup.create_analyzer);
  // What a record's header says of the station's runs.
  ProgramOptions recorded_options;
  recorded_options.analyzer = options.analyzer;
  recorded_options.timeout_ms = options.timeout_ms;
  recorded_options.station = setup.station;
  recorded_options.limits_file = options.limits;
  const std::string station_name = setup.station;

  // The signals wait for ServeUntilSignalled; every thread started from
  // here on inherits the mask.
  const sigset_t signals = BlockStopSignals();

  if (const std::string why = GoldenNeedsStore(setup.limits, !options.results.empty()); !why.empty()) {
    return Usage(why);
  }
  server::ServerConfig config{*listen, options.token, options.record_folder, {options.results, options.spool}};
  std::unique_ptr<server::RunHistory> history = MakeHistory(options, station_name);
  if (!options.record_folder.empty()) {
    history = std::make_unique<KeptRecordsHistory>(std::move(history), recording, options.record_folder,
                                                   recorded_options);
  }
  server::StationServer station(config, std::move(setup), std::move(history), std::cout);
  int port = 0;
  try {
    port = station.Bind();
  } catch (const std::exception& error) {
    std::cerr << "multitone serve: " << error.what() << '\n';
    return 1;
  }
  const std::string host = listen->host.find(':') == std::string::npos ? listen->host : "[" + listen->host + "]";
  std::cout << "multitone serve: station " << station_name << " listening on http://" << host << ':'
            << port << "/" << std::endl;

  return ServeUntilSignalled(signals, [&] { return station.Serve(); }, [&] { station.Shutdown(); });
}

}  // namespace multitone
