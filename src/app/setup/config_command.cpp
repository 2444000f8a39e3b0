#include "app/setup/config_command.h"

#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <vector>

#include "app/setup/command_line.h"
#include "app/run_command/output_names.h"
#include "app/setup/station_options.h"
#include "app/setup/token_file.h"
#include "app/setup/whole_number_check.h"
#include "server/access_rules.h"
#include "server/listen_address.h"
#include "station/golden_gate.h"
#include "station/unit_run.h"
#include "store/results_url.h"
#include "store/run_storage.h"
#include "verdict/limits.h"

namespace multitone {
namespace {

// One setting as the station would run with it.
struct Effective {
  std::string value;
  std::string origin;  // "command line", "FILE:LINE:COL" or "default"
};

// What a command takes when neither the command line nor the file gives it.
std::string DefaultOf(std::string_view key) {
  if (key == "station") return HostName();
  if (key == "analyzer.timeout_ms") return "20000";
  if (key == "results.spool") return DefaultSpoolPath();
  if (key == "serve.listen") return "127.0.0.1:8080";
  return "";
}

// Everything wrong with the settings, one sentence each.
std::vector<std::string> Problems(const std::vector<Effective>& settings) {
  const auto value = [&](std::string_view key) -> const std::string& {
    const auto keys = StationKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].key == key) return settings[i].value;
    }
    throw std::logic_error("no station key " + std::string(key));
  };
  std::vector<std::string> problems;
  if (value("analyzer.address").empty()) {
    problems.push_back("no analyzer.address: a station names its analyzer (sim:... for the simulated one)");
  }
  if (value("limits").empty()) {
    problems.push_back("no limits: a station judges every unit against a limits file");
  } else {
    try {
      const LimitsSource limits = LoadLimits(value("limits"));
      if (std::string why = GoldenNeedsStore(limits, !value("results.url").empty()); !why.empty()) {
        problems.push_back(why);
      }
    } catch (const LimitsError& error) {
      problems.push_back(error.what());
    }
  }
  if (!value("results.url").empty()) {
    if (std::string wrong = CheckResultsUrl(value("results.url")); !wrong.empty()) problems.push_back(wrong);
  }
  std::string token;
  if (const char* from_environment = std::getenv("MULTITONE_TOKEN")) token = from_environment;
  if (token.empty() && !value("serve.token_file").empty()) {
    const TokenFromFile read = ReadTokenFile(value("serve.token_file"));
    if (!read.problem.empty()) problems.push_back(read.problem);
    token = read.token;
  }
  if (!token.empty() && !server::IsAcceptableToken(token)) {
    problems.push_back("the token must be 8 to 256 letters, digits or -._~");
  }
  const auto listen = server::ParseListenAddress(value("serve.listen"));
  if (!listen) {
    problems.push_back("serve.listen '" + value("serve.listen") + "' is not HOST:PORT");
  } else if (token.empty() && !server::IsLoopbackHost(listen->host)) {
    problems.push_back("listening on " + listen->host + " lets other machines start runs: name a token file");
  }
  for (const char* key : {"outputs.json", "outputs.junit", "outputs.report"}) {
    if (value(key).empty()) continue;
    if (std::string problem = FolderProblem(value(key)); !problem.empty()) {
      problems.push_back(std::string(key) + ": " + problem);
    }
  }
  return problems;
}

}  // namespace

int ConfigCommand(int argc, const char* const* argv) {
  const auto keys = StationKeys();
  std::string config;
  std::vector<std::string> values(keys.size());
  CLI::App app("The station file: multitone config check [--config FILE] [OPTION VALUE]...",
               "multitone config");
  CLI::App* check = app.add_subcommand(
      "check",
      "Validate the station file and show every setting with where it came from; options "
      "given here override the file, as on the command line of a run or of serve");
  AddConfigOption(*check, config);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    CLI::Option* option = check->add_option(std::string(keys[i].option), values[i],
                                            "The setting " + std::string(keys[i].key));
    if (keys[i].kind == StationKey::Kind::Milliseconds) {
      option->check(WholeNumberCheck(1, 24 * 3600 * 1000, "milliseconds"));
    }
  }
  app.require_subcommand(1);
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;

  std::vector<Effective> settings(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (check->count(std::string(keys[i].option)) > 0) settings[i].origin = "command line";
  }
  StationFile file;
  try {
    file = ApplyStationFile(*check, config);
  } catch (const StationFileError& error) {
    std::cerr << "multitone config: " << error.what() << '\n';
    return 2;
  }
  for (const StationValue& given : file.values) {
    const auto i = static_cast<std::size_t>(given.key - keys.data());
    if (settings[i].origin.empty()) settings[i].origin = given.where;
  }
  std::cout << "station file: " << (file.path.empty() ? "none" : file.path) << '\n';
  for (std::size_t i = 0; i < keys.size(); ++i) {
    settings[i].value = values[i];
    if (settings[i].origin.empty()) {
      settings[i].value = DefaultOf(keys[i].key);
      settings[i].origin = settings[i].value.empty() ? "not set" : "default";
    }
    std::cout << std::left << std::setw(21) << keys[i].key << ' ' << std::setw(40)
              << (settings[i].value.empty() ? "-" : settings[i].value) << ' ' << settings[i].origin << '\n';
  }
  const std::vector<std::string> problems = Problems(settings);
  for (const std::string& problem : problems) std::cerr << "multitone config: " << problem << '\n';
  return problems.empty() ? 0 : 2;
}

}  // namespace multitone
