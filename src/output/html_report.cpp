#include "output/html_report.h"

#include <cstdio>

#include "common/html_escape.h"
#include "common/iso_time.h"
#include "output/response_svg.h"
#include "common/short_number.h"
#include "output/verdict_line.h"

namespace multitone {
namespace {

void Cell(std::string& html, std::optional<double> value) {
  html += value ? ShortNumber(*value) : "&mdash;";
}

void Row(std::string& html, const Measurement& m) {
  const std::string_view outcome = m.outcome ? OutcomeName(*m.outcome) : "";
  html += "<tr class=\"";
  html += outcome.empty() ? "none" : outcome;
  html += "\"><td>";
  AppendHtmlEscaped(html, m.channel);
  html += "</td><td>";
  AppendHtmlEscaped(html, m.figure);
  if (m.tone != 0) {
    html += " ";
    Cell(html, m.nominal_hz);
    html += " Hz";
  }
  html += "</td><td class=\"num\">";
  if (m.value) {
    Cell(html, m.value);
  } else {
    html += "not defined";
  }
  html += "</td><td>";
  AppendHtmlEscaped(html, m.unit);
  html += "</td><td class=\"num\">";
  Cell(html, m.low);
  html += "</td><td class=\"num\">";
  Cell(html, m.high);
  html += "</td><td>";
  html += outcome;
  html += "</td></tr>\n";
}

constexpr const char* kStyle = R"(
body{font-family:sans-serif;margin:24px;color:#222}
.banner{font-size:40px;font-weight:bold;padding:16px 24px;border-radius:8px;color:#fff}
.banner.PASS{background:#2e9d4a}.banner.MARGINAL{background:#c98a00}.banner.FAIL{background:#c62828}
.banner.ERROR{background:#e0a000;color:#222}.banner.NOT_JUDGED{background:#667}
.sim{display:inline-block;margin-left:16px;padding:2px 10px;border:3px solid #fff;font-size:28px}
.detail{margin:8px 0 16px;font-size:16px}
table{border-collapse:collapse;margin:12px 0}td,th{border:1px solid #ccc;padding:3px 8px}
td.num{text-align:right;font-family:monospace}
tr.FAIL td{background:#fdd;font-weight:bold}tr.MARGINAL td{background:#fec}
svg.response{width:640px;max-width:100%}
)";

}  // namespace

std::string HtmlReport(const UnitResult& unit) {
  const std::string verdict(VerdictName(unit.judgement.verdict));
  std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                     HtmlEscape(verdict + " " + unit.serial) + "</title><style>" + kStyle +
                     "</style></head><body>\n";
  html.reserve(16 * 1024);
  html += "<div class=\"banner " + verdict + "\">" + verdict + " " + HtmlEscape(unit.serial) +
          (unit.simulated ? "<span class=\"sim\">SIMULATED</span>" : "") + "</div>\n";
  std::string detail;
  if (unit.judgement.verdict == Verdict::Fail) detail = OutcomeSummary(unit, Outcome::Fail);
  if (unit.judgement.verdict == Verdict::Marginal) detail = OutcomeSummary(unit, Outcome::Marginal);
  if (!detail.empty()) html += "<p class=\"detail\">" + HtmlEscape(detail) + "</p>\n";
  if (unit.results.error) {
    html += "<p class=\"detail error\">" + HtmlEscape(unit.results.error->Line()) + "</p>\n";
  }

  html += "<table class=\"identity\">";
  const auto row = [&](const char* label, const std::string& value) {
    html += "<tr><th>";
    html += label;
    html += "</th><td>";
    AppendHtmlEscaped(html, value);
    html += "</td></tr>";
  };
  row("Serial", unit.serial);
  row("Station", unit.station);
  row("Operator", unit.operator_name);
  row("Started", IsoTimeUtc(unit.started_at));
  row("Ended", IsoTimeUtc(unit.ended_at));
  row("Analyzer", unit.analyzer + (unit.simulated ? " (simulated)" : ""));
  if (unit.limits) {
    row("Limits", unit.limits->file + " (sha256 " + unit.limits->sha256.substr(0, 12) + ")");
    row("Product", unit.limits->limits.product + " " + unit.limits->limits.revision);
  }
  row("Program", "multitone " + unit.program_version);
  html += "</table>\n";

  html += "<h2>Figures</h2>\n<table class=\"figures\"><tr><th>channel</th><th>figure</th><th>value</th>"
          "<th>unit</th><th>min</th><th>max</th><th>outcome</th></tr>\n";
  for (const Measurement& m : unit.judgement.measurements) {
    if (m.figure != kResponseName) Row(html, m);
  }
  html += "</table>\n<h2>Response</h2>\n" + ResponseSvg(unit);
  html += "<table class=\"tones\"><tr><th>channel</th><th>tone</th><th>dB</th><th>unit</th><th>low</th>"
          "<th>high</th><th>outcome</th></tr>\n";
  for (const Measurement& m : unit.judgement.measurements) {
    if (m.figure == kResponseName) Row(html, m);
  }
  html += "</table>\n</body></html>\n";
  return html;
}

}  // namespace multitone
