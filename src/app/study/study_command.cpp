// multitone study grr: a crossed gauge R&R study by the ANOVA method, either
// measured now, guided at the prompt (--parts N --trials R --appraisers A),
// or read back from the store (--from-store STUDY, or --from-store --serials
// FILE). Exit 0 with the report; 1 when the store cannot be read or the
// guided study stopped before its end; 2 for a bad command line, an
// unreadable file or an unbalanced study.
#include <fstream>
#include <iostream>

#include "app/setup/command_line.h"
#include "app/store_commands/line_commands.h"
#include "app/study/study_guided.h"
#include "app/study/study_report.h"
#include "app/setup/whole_number_check.h"
#include "common/durable_file.h"
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

// The stored form: by the study's name, or by a list of serials.
int StoredStudyReport(const std::string& results, const std::string& study_name,
                      const std::string& serials_file, const std::string& since,
                      const std::string& limits_file, const std::string& html) {
  const std::string name = "multitone study grr: ";
  if (study_name.empty() == serials_file.empty()) {
    std::cerr << name << "--from-store takes the study's name, or --serials FILE, not both\n";
    return 2;
  }
  if (!since.empty() && serials_file.empty()) {
    std::cerr << name << "--since goes with --serials: a named study is all its runs\n";
    return 2;
  }
  if (!html.empty()) {
    if (html == "-") {
      std::cerr << name << "--html: the text goes to standard output; name a file for the page\n";
      return 2;
    }
    if (const std::string why = WhyFileCannotBeWritten(html); !why.empty()) {
      std::cerr << name << "--html: " << why << '\n';
      return 2;
    }
  }
  std::string since_time;
  if (!since.empty()) {
    since_time = ParseFilterTime(since, false);
    if (since_time.empty()) {
      std::cerr << name << "not a date: " << since << '\n';
      return 2;
    }
  }
  std::vector<std::string> serials;
  if (!serials_file.empty()) {
    const auto read = ReadSerials(serials_file);
    if (!read) {
      std::cerr << name << "cannot read " << serials_file << '\n';
      return 2;
    }
    serials = *read;
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
    const StoredStudy study = study_name.empty()
                                  ? ReadStoredStudy(store.db(), serials, since_time, limits.limits)
                                  : ReadTaggedStudy(store.db(), study_name, limits.limits);
    if (const std::string problem = WriteStudyReport(study, study_name, html, std::cout); !problem.empty()) {
      std::cerr << name << "report not written: " << problem << '\n';
      return 1;
    }
    return 0;
  } catch (const UnbalancedStudy& error) {
    std::cerr << name << error.what() << '\n';
    return 2;
  } catch (const StoreError& error) {
    std::cerr << name << error.what() << '\n';
    return 1;
  }
}

}  // namespace

int StudyCommand(int argc, const char* const* argv) {
  std::string serials_file, since, study_name, html;
  bool from_store = false;
  GuidedStudyOptions guided;
  std::uint64_t seed = 0;
  CLI::App app("Measurement-system studies.", "multitone study");
  app.require_subcommand(1);
  CLI::App* grr = app.add_subcommand(
      "grr",
      "Gauge R&R, crossed, ANOVA method. Guided: --parts N --trials R --appraisers A measures the "
      "study now, telling each appraiser which part to test next, and stores every run tagged with "
      "the study. From the store: --from-store STUDY (a guided study by its name), or --from-store "
      "--serials FILE (parts are the listed serials, appraisers the operators, trials each "
      "operator's runs of one part)");
  auto* store_option = grr->add_option("--from-store", study_name,
                                       "Report a stored study: by its name, or "
                                       "with --serials")
                           ->type_name("[STUDY]")
                           ->expected(0, 1);
  grr->add_option("--results", guided.results, "The results store")->type_name("URL")->required();
  grr->add_option("--limits", guided.limits_file, "The limits: each figure's tolerance is its max - min")
      ->type_name("FILE")
      ->required();
  grr->add_option("--html", html, "The report as an HTML page too")->type_name("FILE");
  grr->add_option("--serials", serials_file, "With --from-store: the parts' serials, one a line")
      ->type_name("FILE");
  grr->add_option("--since", since, "With --serials: only runs from this day or UTC time on")
      ->type_name("DATE");
  auto* parts = grr->add_option("--parts", guided.parts, "Guided: the number of parts")
                    ->type_name("N")
                    ->check(WholeNumberCheck(2, 1000, "parts"));
  auto* trials =
      grr->add_option("--trials", guided.trials, "Guided: how often each appraiser tests each part")
          ->type_name("R")
          ->check(WholeNumberCheck(2, 100, "trials"));
  auto* appraisers = grr->add_option("--appraisers", guided.appraisers, "Guided: the number of appraisers")
                         ->type_name("A")
                         ->check(WholeNumberCheck(2, 100, "appraisers"));
  grr->add_option("--appraiser", guided.appraiser_names,
                  "Guided: an appraiser's name (again for the next); "
                  "the rest are asked for")
      ->type_name("NAME");
  grr->add_option("--part", guided.part_serials,
                  "Guided: a part's serial (again for the next); the rest "
                  "are asked for")
      ->type_name("SERIAL");
  grr->add_option("--analyzer", guided.analyzer,
                  "Guided: the analyzer (sim:... for the simulated one, where "
                  "each part plays as the unit its serial names)")
      ->type_name("ADDR");
  grr->add_option("--station", guided.station, "Guided: this station's name (default: the host name)")
      ->type_name("NAME");
  grr->add_option("--spool", guided.spool, "Guided, with PostgreSQL: the local spool")->type_name("PATH");
  grr->add_option("--timeout", guided.timeout_ms, "Guided: longest wait for one analyzer operation, ms")
      ->type_name("MS")
      ->check(WholeNumberCheck(1, 24 * 3600 * 1000, "milliseconds"));
  grr->add_option("--study", guided.study, "Guided: the new study's name (default grr-YYYYMMDD-HHMMSS)")
      ->type_name("NAME");
  grr->add_option("--resume", guided.resume, "Guided: continue the study of this name where it stopped")
      ->type_name("NAME");
  auto* seed_option = grr->add_option("--seed", seed,
                                      "Guided: the seed of the part order (default: from the "
                                      "study's name)")
                          ->type_name("K");
  grr->add_flag("--quiet", guided.quiet, "Guided: no progress line during a run");
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;
  from_store = store_option->count() > 0;

  const std::string name = "multitone study grr: ";
  if (from_store) {
    for (const char* option :
         {"--parts", "--trials", "--appraisers", "--appraiser", "--part", "--analyzer", "--station",
          "--spool", "--timeout", "--study", "--resume", "--seed", "--quiet"}) {
      if (grr->count(option) > 0) {
        std::cerr << name << option << " is for a guided study, not --from-store\n";
        return 2;
      }
    }
    return StoredStudyReport(guided.results, study_name, serials_file, since, guided.limits_file, html);
  }
  if (parts->count() == 0 || trials->count() == 0 || appraisers->count() == 0 ||
      grr->count("--analyzer") == 0) {
    std::cerr << name
              << "a guided study needs --parts, --trials, --appraisers and --analyzer "
                 "(or --from-store to report a stored one)\n";
    return 2;
  }
  for (const char* option : {"--serials", "--since"}) {
    if (grr->count(option) > 0) {
      std::cerr << name << option << " goes with --from-store\n";
      return 2;
    }
  }
  if (!guided.study.empty() && !guided.resume.empty()) {
    std::cerr << name << "--study starts a new study, --resume continues one: not both\n";
    return 2;
  }
  guided.station_given = grr->count("--station") > 0;
  if (seed_option->count() > 0) guided.seed = seed;
  guided.html = html;
  return RunGuidedStudy(guided, std::cin, std::cout, std::cerr);
}

}  // namespace multitone
