#include "output/junit_report.h"

#include <chrono>
#include <cstdio>

#include "common/html_escape.h"
#include "common/iso_time.h"
#include "common/short_number.h"
#include "output/verdict_line.h"

namespace multitone {
namespace {

// The report is written into one string. XML and HTML escape the same five
// characters; the escape also replaces what XML may not hold (control
// characters, bytes that are not UTF-8).
class Xml {
 public:
  Xml& operator<<(std::string_view markup) {
    text_ += markup;
    return *this;
  }
  // Text from outside, escaped.
  Xml& Text(std::string_view text) {
    AppendHtmlEscaped(text_, text);
    return *this;
  }
  std::string& str() { return text_; }

 private:
  std::string text_;
};

void CaseName(Xml& out, const Measurement& m) {
  if (!m.channel.empty()) out.Text(m.channel) << ".";
  out.Text(m.figure);
  if (m.tone != 0) out << "." << std::to_string(m.tone);
}

void Property(Xml& out, std::string_view name, std::string_view value) {
  out << "<property name=\"" << name << "\" value=\"";
  out.Text(value) << "\"/>";
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
  Xml classname;
  classname << "multitone.";
  classname.Text(unit.serial.empty() ? "unit" : unit.serial);
  Xml cases;
  cases.str().reserve(256 * unit.judgement.measurements.size() + 512);
  int tests = 0, failures = 0, errors = 0, skipped = 0;
  // One testcase for every limited figure, judged or not, so every run of a
  // limits file has the same testcases; then one for the run itself.
  for (const Measurement& m : unit.judgement.measurements) {
    if (!m.low && !m.high) continue;
    ++tests;
    cases << "    <testcase classname=\"" << classname.str() << "\" name=\"";
    CaseName(cases, m);
    cases << "\" time=\"0\">\n      <properties>";
    Property(cases, "value", Optional(m.value));
    Property(cases, "unit", m.unit);
    Property(cases, "low", Optional(m.low));
    Property(cases, "high", Optional(m.high));
    Property(cases, "outcome", m.outcome ? OutcomeName(*m.outcome) : "NOT_MEASURED");
    cases << "</properties>\n";
    if (m.outcome == Outcome::Fail) {
      ++failures;
      cases << "      <failure message=\"";
      cases.Text(DescribeMeasurement(m)) << "\"/>\n";
    } else if (!m.outcome) {
      ++skipped;
      cases << "      <skipped message=\"not measured: the run stopped before it\"/>\n";
    } else if (m.outcome == Outcome::Marginal) {
      cases << "      <system-out>MARGINAL: ";
      cases.Text(DescribeMeasurement(m)) << "</system-out>\n";
    }
    cases << "    </testcase>\n";
  }
  ++tests;
  const std::string seconds = Seconds(unit);
  cases << "    <testcase classname=\"" << classname.str() << "\" name=\"run\" time=\"" << seconds
        << "\">\n      <properties>";
  Property(cases, "verdict", VerdictName(unit.judgement.verdict));
  cases << "</properties>\n";
  if (unit.results.error) {
    ++errors;
    cases << "      <error message=\"";
    cases.Text(unit.results.error->Line()) << "\"/>\n";
  }
  cases << "    </testcase>\n";

  Xml report;
  report.str().reserve(cases.str().size() + 512);
  report << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"multitone ";
  report.Text(unit.serial) << (unit.simulated ? " SIMULATED" : "") << "\" tests=\"" << std::to_string(tests)
                           << "\" failures=\"" << std::to_string(failures) << "\" errors=\""
                           << std::to_string(errors) << "\" skipped=\"" << std::to_string(skipped)
                           << "\" time=\"" << seconds << "\" timestamp=\"" << IsoTimeUtc(unit.started_at)
                           << "\" hostname=\"";
  report.Text(unit.station) << "\">\n" << cases.str() << "  </testsuite>\n</testsuites>\n";
  return std::move(report.str());
}

}  // namespace multitone
