#pragma once
// A gauge study taken from the results store: the parts are the listed
// serials (or the serials of the study's runs), the appraisers the operators
// who tested them, the trials each operator's runs of one part. Only reads.
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "line/gauge_study.h"
#include "store/database.h"
#include "verdict/limits.h"

namespace multitone {

// Why the stored runs do not make a study (a part listed twice, a part
// nobody measured, an appraiser who missed a part, cells with different
// numbers of runs).
class UnbalancedStudy : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FigureStudy {
  std::string figure;   // "signal_to_noise", "pitch_error"
  std::string channel;  // "left", "right", "" for pitch_error
  std::string unit;
  std::optional<GaugeStudyData> data;  // empty when not defined in every run
  std::optional<double> tolerance;     // max - min of the limits, when both are set
};

struct StoredStudy {
  std::vector<std::string> parts;       // the serials, as listed
  std::vector<std::string> appraisers;  // operators, in order of name ("" shows as "(none)")
  std::size_t trials = 0;
  std::vector<FigureStudy> figures;     // pitch_error, then per channel the figures in run order
};

// The runs of `serials` from `since` on (an ISO time, "" for all). Throws
// UnbalancedStudy, or StoreError.
StoredStudy ReadStoredStudy(Database& db, const std::vector<std::string>& serials, const std::string& since,
                            const Limits& limits);

// The runs of the study named `tag` (purpose "study"): the parts are their
// serials in the order first tested. A run that ended in ERROR was not a
// measurement and is left out. Throws UnbalancedStudy (also for no runs at
// all), or StoreError.
StoredStudy ReadTaggedStudy(Database& db, const std::string& tag, const Limits& limits);

// How far the study named `tag` has come: its measured runs (ERROR left out)
// per part and appraiser, the serials and operators in the order first seen.
struct StudyProgress {
  std::vector<std::string> parts, appraisers;                       // in the order first tested
  std::map<std::pair<std::string, std::string>, std::size_t> runs;  // (part, appraiser) -> runs
  std::size_t total = 0;
};
StudyProgress ReadStudyProgress(Database& db, const std::string& tag);

}  // namespace multitone
