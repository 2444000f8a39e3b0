#pragma once
// multitone study grr --parts N --trials R --appraisers A: the guided gauge
// study at the prompt. It takes the appraisers' names and the parts' serials
// (from the command line or asked for), then walks the run order, telling
// who tests which part and waiting for Enter before each run; every run goes
// through the station's one path (RunUnit, FinishUnit) and is stored with
// purpose "study", the study's name as its tag and the appraiser as its
// operator. A run that ends in ERROR, or that cannot be stored, is asked for
// again and not counted. The end of the input stops the study with what was
// stored; --resume NAME takes it up where it stopped, from the stored runs.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace multitone {

struct GuidedStudyOptions {
  std::size_t parts = 0, trials = 0, appraisers = 0;
  std::vector<std::string> part_serials;     // --part, in order; the rest are asked for
  std::vector<std::string> appraiser_names;  // --appraiser
  std::string analyzer;                      // empty: the simulated analyzer
  int timeout_ms = 20000;
  std::string limits_file, results, spool, station;
  bool station_given = false;
  std::string study;                  // --study NAME: a new study; empty: grr-YYYYMMDD-HHMMSS
  std::string resume;                 // --resume NAME: continue this study
  std::optional<std::uint64_t> seed;  // the part order; default from the name
  std::string html;                   // --html FILE: the report as a page too
  bool quiet = false;
};

// Questions and guidance go to `talk`, the report to `out`, answers come
// from `in`. Returns the exit status: 0 the study is complete and reported,
// 1 it stopped before its end (input ended) or its report could not be read
// or written, 2 a bad setup (limits, names, a study name already taken).
int RunGuidedStudy(const GuidedStudyOptions& options, std::istream& in, std::ostream& out,
                   std::ostream& talk);

}  // namespace multitone
