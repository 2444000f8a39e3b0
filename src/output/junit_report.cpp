#include "output/junit_report.h"

#include <cstdio>

#include "output/html_report.h"
#include "output/result_json.h"
#include "output/verdict_line.h"

namespace multitone {
namespace {

// XML and HTML escape the same five characters.
std::string Xml(std::string_view text) { return HtmlEscape(text); }

std::string CaseName(const Measurement& m) {
  std::string name;
  if (!m.channel.empty()) name += std::string(m.channel) + ".";
  name += std::string(m.figure);
  if (m.tone != 0) name += "." + std::to_string(m.tone);
  return name;
}

}  // namespace

std::string JunitReport(const UnitResult& unit) {
  std::string cases;
  int tests = 0, failures = 0;
  for (const Measurement& m : unit.judgement.measurements) {
    if (!m.outcome) continue;
    ++tests;
    cases += "    <testcase classname=\"multitone." + Xml(unit.serial.empty() ? "unit" : unit.serial) +
             "\" name=\"" + Xml(CaseName(m)) + "\">";
    if (m.outcome == Outcome::Fail) {
      ++failures;
      cases += "<failure message=\"" + Xml(DescribeMeasurement(m)) + "\"/>";
    }
    cases += "</testcase>\n";
  }
  int errors = 0;
  if (unit.results.error) {
    ++tests;
    ++errors;
    cases += "    <testcase classname=\"multitone." + Xml(unit.serial.empty() ? "unit" : unit.serial) +
             "\" name=\"run\"><error message=\"" + Xml(unit.results.error->Line()) + "\"/></testcase>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"multitone " +
         Xml(unit.serial) + (unit.simulated ? " SIMULATED" : "") + "\" tests=\"" + std::to_string(tests) +
         "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
         "\" timestamp=\"" + IsoTimeUtc(unit.started_at) + "\" hostname=\"" + Xml(unit.station) +
         "\">\n" + cases + "  </testsuite>\n</testsuites>\n";
}

}  // namespace multitone
