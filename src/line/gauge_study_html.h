#pragma once
// The gauge study as one self-contained HTML page: a table of every figure's
// variation components, %GRR, ndc and verdict (the numbers of the text
// report, written the same way), and per figure two pictures: the components
// as bars against the 10 % and 30 % marks, and each part's readings by
// appraiser (mean and range). Inline SVG, no script, nothing fetched. The
// page is well-formed XML as well as HTML.
#include <string>

#include "line/study_runs.h"

namespace multitone {

// `name` is the study's name, "" when it has none (a list of serials).
std::string GaugeStudyHtml(const StoredStudy& study, const std::string& name);

}  // namespace multitone
