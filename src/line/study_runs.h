#pragma once
// A gauge study taken from the results store: the parts are the listed
// serials, the appraisers the operators who tested them, the trials each
// operator's runs of one part. Only reads.
#include <optional>
#include <stdexcept>
#include <string>
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

}  // namespace multitone
