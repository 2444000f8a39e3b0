#include "app/study/study_guided.h"

#include <algorithm>
#include <ctime>
#include <istream>
#include <ostream>
#include <stdexcept>

#include "app/doors/analyzer_factory.h"
#include "app/run_command/progress_line.h"
#include "app/study/simulated_part.h"
#include "app/setup/station_setup.h"
#include "app/study/study_report.h"
#include "common/durable_file.h"
#include "line/study_plan.h"
#include "line/study_runs.h"
#include "link/analyzer_address.h"
#include "output/verdict_line.h"
#include "station/finish_unit.h"
#include "station/unit_names.h"
#include "station/unit_run.h"
#include "store/results_store.h"
#include "store/store_unit.h"

namespace multitone {
namespace {

// An answer longer than any name or serial is not read on: standard input
// may be a device that never ends.
constexpr std::size_t kLongestAnswer = 256;

// One line of `in`; none at the end of the input. A line longer than
// kLongestAnswer comes back as that many characters and a mark, so that it
// is refused as a name and still counts as an Enter.
std::optional<std::string> ReadAnswer(std::istream& in) {
  std::string line;
  int c = in.get();
  if (c == EOF) return std::nullopt;
  for (; c != EOF && c != '\n'; c = in.get()) {
    if (line.size() <= kLongestAnswer) line += static_cast<char>(c);
  }
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string NewStudyName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "grr-%Y%m%d-%H%M%S", &local);
  return text;
}

std::string Shown(const std::string& appraiser) { return appraiser.empty() ? "(none)" : appraiser; }

// The study's guided walk, one run after another.
class GuidedStudy {
 public:
  GuidedStudy(const GuidedStudyOptions& options, std::istream& in, std::ostream& out, std::ostream& talk)
      : o_(options), in_(in), out_(out), talk_(talk) {}

  int Run();

 private:
  int Refuse(const std::string& why) {
    talk_ << "multitone study grr: " << why << '\n';
    return 2;
  }
  // Fills `names` up to `count`: the stored ones first, then those given,
  // then asks. False at the end of the input; a refusal in `why`.
  bool TakeNames(std::vector<std::string>& names, const std::vector<std::string>& given, std::size_t count,
                 const char* what, std::string& why);
  std::optional<std::string> NameProblemOf(const std::string& name, const char* what) const;
  // Measures one step until a run counts; false at the end of the input.
  bool Measure(const StudyStep& step);
  int Stopped();

  const GuidedStudyOptions& o_;
  std::istream& in_;
  std::ostream& out_;
  std::ostream& talk_;
  StationSetup setup_;
  bool simulated_part_ = false;
  std::string name_;
  std::vector<std::string> parts_, appraisers_;
  std::size_t stored_ = 0, attempts_ = 0, total_ = 0;
};

std::optional<std::string> GuidedStudy::NameProblemOf(const std::string& name, const char* what) const {
  if (std::string_view(what) == "part") {
    const std::string pattern = setup_.limits ? setup_.limits->limits.serial_pattern : "";
    if (auto problem = SerialProblem(name, pattern)) return problem;
    if (simulated_part_ && name.find(',') != std::string::npos) {
      return "the simulated analyzer cannot name a part whose serial holds a comma";
    }
    return std::nullopt;
  }
  return NameProblem(name, "the appraiser's name");
}

bool GuidedStudy::TakeNames(std::vector<std::string>& names, const std::vector<std::string>& given,
                            std::size_t count, const char* what, std::string& why) {
  for (const std::string& name : given) {
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    if (const auto problem = NameProblemOf(name, what)) {
      why = *problem;
      return true;
    }
    names.push_back(name);
  }
  if (names.size() > count) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + Shown(name);
    why = std::string("the study has ") + std::to_string(names.size()) + " " + what + "s (" + list +
          "), more than " + std::to_string(count);
    return true;
  }
  while (names.size() < count) {
    talk_ << what << ' ' << names.size() + 1 << " of " << count
          << (std::string_view(what) == "part" ? ", serial: " : ", name: ") << std::flush;
    const auto answer = ReadAnswer(in_);
    if (!answer) return false;
    if (const auto problem = NameProblemOf(*answer, what)) {
      talk_ << "  " << *problem << "; again\n";
    } else if (std::find(names.begin(), names.end(), *answer) != names.end()) {
      talk_ << "  " << *answer << " is in the study already; again\n";
    } else {
      names.push_back(*answer);
    }
  }
  return true;
}

bool GuidedStudy::Measure(const StudyStep& step) {
  const std::string& serial = parts_[step.part];
  const std::string& appraiser = appraisers_[step.appraiser];
  for (;;) {
    talk_ << "appraiser " << appraiser << ": test part " << serial << " (trial " << step.trial + 1 << " of "
          << o_.trials << "), press Enter" << std::flush;
    if (!ReadAnswer(in_)) {
      talk_ << '\n';
      return false;
    }
    StationSetup unit_setup = setup_;
    unit_setup.operator_name = appraiser;
    ++attempts_;
    if (simulated_part_) {
      unit_setup.create_analyzer =
          MakeAnalyzerFactory(SimulatedPartAddress(o_.analyzer, serial, stored_ + attempts_),
                              std::chrono::milliseconds(o_.timeout_ms), nullptr);
    }
    UnitResult unit;
    {
      ProgressLine progress(!o_.quiet);
      unit = RunUnit(unit_setup, serial, [&](std::size_t index, std::size_t count, std::string_view name) {
        progress.Show(index, count, name);
      });
    }
    unit.purpose = "study";
    unit.tag = name_;
    const RunStorage storage{o_.results, o_.spool};
    bool stored = false;
    const std::vector<UnitSink> sinks = {{UnitSink::Kind::Keeps, "result not stored", false,
                                          [&](const UnitResult& u) {
                                            std::string why = KeepUnit(storage, u);
                                            stored = why.empty();
                                            return why;
                                          }},
                                         {UnitSink::Kind::Shows, "", false, [&](const UnitResult& u) {
                                            talk_ << "  " << VerdictLine(u) << '\n';
                                            return std::string();
                                          }}};
    const std::vector<std::string> problems = FinishUnit(unit, sinks);
    for (const std::string& problem : problems) talk_ << "  " << problem << '\n';
    if (stored) {
      if (const std::string local = ForwardKeptRuns(storage); !local.empty()) talk_ << "  " << local << '\n';
    }
    if (stored && unit.judgement.verdict != Verdict::Error) {
      ++stored_;
      talk_ << "  run " << stored_ << " of " << total_ << " stored\n";
      return true;
    }
    talk_ << "  not counted: the same part again\n";
  }
}

int GuidedStudy::Stopped() {
  talk_ << "study " << name_ << " stopped at the end of the input: " << stored_ << " of " << total_
        << " runs stored; --resume " << name_ << " continues it\n";
  return 1;
}

int GuidedStudy::Run() {
  if (!o_.html.empty()) {
    if (o_.html == "-") return Refuse("--html: the text goes to standard output; name a file for the page");
    if (const std::string why = WhyFileCannotBeWritten(o_.html); !why.empty())
      return Refuse("--html: " + why);
  }
  if (const std::string why = CheckResultsUrl(o_.results); !why.empty()) return Refuse(why);
  StationChoices choices;
  choices.analyzer = o_.analyzer;
  choices.timeout = std::chrono::milliseconds(o_.timeout_ms);
  choices.limits_file = o_.limits_file;
  choices.station = o_.station;
  choices.station_given = o_.station_given;
  if (const std::string why = BuildStationSetup(choices, setup_); !why.empty()) return Refuse(why);
  simulated_part_ = o_.analyzer.empty() || NamesSimulatedAnalyzer(o_.analyzer);
  if (simulated_part_) {
    try {
      SimulatedPartAddress(o_.analyzer, "", 0);
    } catch (const std::invalid_argument& error) {
      return Refuse(std::string("--analyzer: ") + error.what());
    }
  }
  name_ = !o_.resume.empty() ? o_.resume : !o_.study.empty() ? o_.study : NewStudyName();
  if (const auto problem = NameProblem(name_, "the study's name")) return Refuse(*problem);
  total_ = o_.parts * o_.appraisers * o_.trials;

  StudyProgress progress;
  try {
    ResultsStore store = ResultsStore::Open(o_.results);
    progress = ReadStudyProgress(store.db(), name_);
  } catch (const StoreError& error) {
    talk_ << "multitone study grr: " << error.what() << '\n';
    return 1;
  }
  if (o_.resume.empty() && progress.total > 0) {
    return Refuse("study " + name_ + " has " + std::to_string(progress.total) +
                  " stored runs already; --resume " + name_ + " continues it");
  }
  for (const auto& [cell, runs] : progress.runs) {
    if (runs > o_.trials) {
      return Refuse("study " + name_ + " has " + std::to_string(runs) + " runs of " + cell.first + " by " +
                    Shown(cell.second) + ", more than " + std::to_string(o_.trials) + " trials");
    }
  }
  stored_ = progress.total;
  appraisers_ = progress.appraisers;
  parts_ = progress.parts;
  std::string why;
  if (!TakeNames(appraisers_, o_.appraiser_names, o_.appraisers, "appraiser", why)) return Stopped();
  if (!why.empty()) return Refuse(why);
  if (!TakeNames(parts_, o_.part_serials, o_.parts, "part", why)) return Stopped();
  if (!why.empty()) return Refuse(why);
  // The walk shuffles the parts anyway; numbered by serial, a resumed study
  // walks the same order whichever part was tested first.
  std::sort(parts_.begin(), parts_.end());

  const std::uint64_t seed = o_.seed ? *o_.seed : StudySeed(name_);
  talk_ << "study " << name_ << ": " << o_.parts << " parts × " << o_.appraisers << " appraisers × "
        << o_.trials << " trials, " << total_ << " runs; part order from seed " << seed << '\n';
  if (stored_ > 0) {
    talk_ << stored_ << " runs stored already: continuing\n";
  } else if (!o_.resume.empty()) {
    talk_ << "no stored runs of study " << name_ << " yet: starting it\n";
  }
  const std::vector<StudyStep> left = StepsLeft(
      StudyOrder(o_.parts, o_.appraisers, o_.trials, seed), [&](std::size_t part, std::size_t appraiser) {
        const auto found = progress.runs.find({parts_[part], appraisers_[appraiser]});
        return found == progress.runs.end() ? std::size_t{0} : found->second;
      });
  for (const StudyStep& step : left) {
    if (!Measure(step)) return Stopped();
  }

  try {
    ResultsStore store = ResultsStore::Open(o_.results);
    const StoredStudy study = ReadTaggedStudy(store.db(), name_, setup_.limits->limits);
    if (const std::string problem = WriteStudyReport(study, name_, o_.html, out_); !problem.empty()) {
      talk_ << "multitone study grr: report not written: " << problem << '\n';
      return 1;
    }
  } catch (const UnbalancedStudy& error) {
    // Every run was kept; with PostgreSQL some may wait in the spool.
    talk_ << "multitone study grr: " << error.what() << " (runs still in a spool: multitone sync, then "
          << "study grr --from-store " << name_ << ")\n";
    return 1;
  } catch (const StoreError& error) {
    talk_ << "multitone study grr: " << error.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int RunGuidedStudy(const GuidedStudyOptions& options, std::istream& in, std::ostream& out,
                   std::ostream& talk) {
  return GuidedStudy(options, in, out, talk).Run();
}

}  // namespace multitone
