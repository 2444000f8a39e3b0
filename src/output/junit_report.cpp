#include "output/junit_report.h"

#include <chrono>
#include <cstdio>

#include "common/html_escape.h"
#include "common/iso_time.h"
#include "common/short_number.h"
#include "output/verdict_line.h"

namespace multitone {
namespace {

// XML and HTML escape the same five characters; HtmlEscape also replaces
// what XML may not hold (control characters, bytes that are not UTF-8).
std::string Xml(std::string_view text) { return HtmlEscape(text); }

std::string CaseName(const Measurement& m) {
  std::string name;
  if (!m.channel.empty()) name += std::string(m.channel) + ".";
  name += std::string(m.figure);
  if (m.tone != 0) name += "." + std::to_string(m.tone);
  return name;
}

std::string Property(std::string_view name, const std::string& value) {
  return "<property name=\"" + std::string(name) + "\" value=\"" + Xml(value) + "\"/>";
}

std::string Optional(const std::optional<double>& value) {
  return value ? ShortNumber(*value) : "";
}

std::string Seconds(const UnitResult& unit) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(unit.ended_at - unit.started_at);
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", ms.count() < 0 ? 0.0 : ms.count() / 1000.0);
  return text;
}

}  // namespace

std::string JunitReport(const UnitResult& unit) {
  const std::string classname = "multitone." + Xml(unit.serial.empty() ? "unit" : unit.serial);
  std::string cases;
  int tests = 0, failures = 0, errors = 0, skipped = 0;
  // One testcase for every limited figure, judged or not, so every run of a
  // limits file has the same testcases; then one for the run itself.
  for (const Measurement& m : unit.judgement.measurements) {
    if (!m.low && !m.high) continue;
    ++tests;
    const std::string outcome = m.outcome ? std::string(OutcomeName(*m.outcome)) : "NOT_MEASURED";
    cases += "    <testcase classname=\"" + classname + "\" name=\"" + Xml(CaseName(m)) + "\" time=\"0\">\n" +
             "      <properties>" + Property("value", Optional(m.value)) + Property("unit", std::string(m.unit)) +
             Property("low", Optional(m.low)) + Property("high", Optional(m.high)) +
             Property("outcome", outcome) + "</properties>\n";
    if (m.outcome == Outcome::Fail) {
      ++failures;
      cases += "      <failure message=\"" + Xml(DescribeMeasurement(m)) + "\"/>\n";
    } else if (!m.outcome) {
      ++skipped;
      cases += "      <skipped message=\"not measured: the run stopped before it\"/>\n";
    } else if (m.outcome == Outcome::Marginal) {
      cases += "      <system-out>MARGINAL: " + Xml(DescribeMeasurement(m)) + "</system-out>\n";
    }
    cases += "    </testcase>\n";
  }
  ++tests;
  cases += "    <testcase classname=\"" + classname + "\" name=\"run\" time=\"" + Seconds(unit) + "\">\n" +
           "      <properties>" + Property("verdict", std::string(VerdictName(unit.judgement.verdict))) +
           "</properties>\n";
  if (unit.results.error) {
    ++errors;
    cases += "      <error message=\"" + Xml(unit.results.error->Line()) + "\"/>\n";
  }
  cases += "    </testcase>\n";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"multitone " +
         Xml(unit.serial) + (unit.simulated ? " SIMULATED" : "") + "\" tests=\"" + std::to_string(tests) +
         "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
         "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + Seconds(unit) + "\" timestamp=\"" +
         IsoTimeUtc(unit.started_at) + "\" hostname=\"" + Xml(unit.station) + "\">\n" + cases +
         "  </testsuite>\n</testsuites>\n";
}

}  // namespace multitone
