#include "app/study/study_report.h"

#include <ostream>

#include "common/durable_file.h"
#include "line/gauge_study_html.h"
#include "line/gauge_study_text.h"

namespace multitone {

std::string WriteStudyReport(const StoredStudy& study, const std::string& name, const std::string& html,
                             std::ostream& out) {
  if (!name.empty()) out << "Study " << name << '\n';
  out << GaugeStudyText(study) << std::flush;
  if (html.empty()) return {};
  return WriteFileDurably(html, GaugeStudyHtml(study, name));
}

}  // namespace multitone
