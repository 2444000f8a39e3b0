// multitone study grr --from-store: a crossed gauge R&R study over stored
// runs. Exit 0 with the report, 2 for a bad command line, an unreadable
// file or an unbalanced study, 1 when the store cannot be read.
#include <fstream>
#include <iostream>

#include "app/command_line.h"
#include "app/line_commands.h"
#include "line/gauge_study_text.h"
#include "line/study_runs.h"
#include "store/results_store.h"
#include "store/run_filter.h"

namespace multitone {
namespace {

// One serial a line; blank lines and lines starting '#' left out.
std::optional<std::vector<std::string>> ReadSerials(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::vector<std::string> serials;
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line.front() != '#') serials.push_back(line);
  }
  return serials;
}

}  // namespace

int StudyCommand(int argc, const char* const* argv) {
  std::string results, serials_file, since, limits_file;
  bool from_store = false;
  CLI::App app("Measurement-system studies.", "multitone study");
  app.require_subcommand(1);
  CLI::App* grr = app.add_subcommand(
      "grr", "Gauge R&R, crossed, ANOVA method: parts are the listed serials, appraisers the "
             "operators, trials each operator's runs of one part");
  grr->add_flag("--from-store", from_store, "Take the study's runs from the results store")->required();
  grr->add_option("--results", results, "The results store")->type_name("URL")->required();
  grr->add_option("--serials", serials_file, "The parts' serials, one a line")->type_name("FILE")->required();
  grr->add_option("--since", since, "Only runs from this day or UTC time on")->type_name("DATE");
  grr->add_option("--limits", limits_file, "The tolerance of each figure: its max - min")
      ->type_name("FILE")
      ->required();
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;

  const std::string name = "multitone study grr: ";
  std::string since_time;
  if (!since.empty()) {
    since_time = ParseFilterTime(since, false);
    if (since_time.empty()) {
      std::cerr << name << "not a date: " << since << '\n';
      return 2;
    }
  }
  const auto serials = ReadSerials(serials_file);
  if (!serials) {
    std::cerr << name << "cannot read " << serials_file << '\n';
    return 2;
  }
  LimitsSource limits;
  try {
    limits = LoadLimits(limits_file);
  } catch (const LimitsError& error) {
    std::cerr << name << error.what() << '\n';
    return 2;
  }
  try {
    ResultsStore store = ResultsStore::Open(results);
    std::cout << GaugeStudyText(ReadStoredStudy(store.db(), *serials, since_time, limits.limits));
    return 0;
  } catch (const UnbalancedStudy& error) {
    std::cerr << name << error.what() << '\n';
    return 2;
  } catch (const StoreError& error) {
    std::cerr << name << error.what() << '\n';
    return 1;
  }
}

}  // namespace multitone
