#pragma once
// The gauge study as text: per figure and channel the variation components
// as standard deviations, %GRR, ndc and the verdict.
#include <string>

#include "line/study_runs.h"

namespace multitone {

std::string GaugeStudyText(const StoredStudy& study);

}  // namespace multitone
