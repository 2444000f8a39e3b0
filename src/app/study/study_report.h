#pragma once
// A gauge study's report, the same for a study just measured and one read
// back from the store: the text on `out`, and the page in `html` when named.
#include <iosfwd>
#include <string>

#include "line/study_runs.h"

namespace multitone {

// `name` is the study's tag ("" for a list of serials). Returns an empty
// text, or why the page could not be written.
std::string WriteStudyReport(const StoredStudy& study, const std::string& name, const std::string& html,
                             std::ostream& out);

}  // namespace multitone
