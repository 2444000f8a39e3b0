#include "line/gauge_study_html.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "common/html_escape.h"
#include "common/short_number.h"

namespace multitone {
namespace {

constexpr double kWidth = 520, kLeft = 110, kRight = 20, kTop = 28, kBottom = 40;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"};

std::string Num(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

std::string Text(double x, double y, const std::string& text, const char* anchor = "middle") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"11\" text-anchor=\"" + anchor + "\">" +
         HtmlEscape(text) + "</text>";
}

std::string Line(double x1, double y1, double x2, double y2, const std::string& colour, double width = 1,
                 const char* dash = nullptr) {
  return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" + Num(y2) +
         "\" stroke=\"" + colour + "\" stroke-width=\"" + Num(width) + "\"" +
         (dash ? std::string(" stroke-dasharray=\"") + dash + "\"" : std::string()) + "/>";
}

std::string Cell(const std::string& text, const char* kind) {
  return std::string("<td class=\"") + kind + "\">" + HtmlEscape(text) + "</td>";
}

std::string Percent(const std::optional<double>& value) { return value ? ShortNumber(*value) : "-"; }

std::string FigureTitle(const FigureStudy& f) {
  return (f.channel.empty() ? f.figure : f.channel + " " + f.figure) + " (" + f.unit + ")";
}

// A step of 1, 2 or 5 × 10^k giving about `count` ticks over `span`.
double TickStep(double span, int count) {
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

// The components as horizontal bars, in % of the study variation (and GRR
// in % of the tolerance when there is one), with the 10 % and 30 % marks.
std::string ComponentBars(const FigureStudy& f, const GaugeStudyResult& g) {
  std::vector<std::pair<std::string, double>> bars;
  if (g.tv > 0) {
    for (const auto& [label, value] : {std::pair<const char*, double>{"EV", g.ev},
                                       {"AV", g.av},
                                       {"interaction", g.interaction},
                                       {"GRR", g.grr},
                                       {"PV", g.pv}}) {
      bars.emplace_back(label, 100 * value / g.tv);
    }
  }
  if (g.grr_percent_tolerance) bars.emplace_back("GRR / tolerance", *g.grr_percent_tolerance);
  if (bars.empty()) return "<p>No variation at all: nothing to draw.</p>";
  double top = 100;
  for (const auto& bar : bars) top = std::max(top, bar.second);
  const double step = TickStep(top, 5);
  top = std::ceil(top / step) * step;
  const double row = 22, height = kTop + row * static_cast<double>(bars.size()) + kBottom;
  const double bottom = kTop + row * static_cast<double>(bars.size());
  auto x = [&](double percent) { return kLeft + kPlotWidth * percent / top; };
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
                    Num(height) + "\" role=\"img\"><title>" + HtmlEscape(FigureTitle(f)) +
                    ": variation components, %</title>";
  svg += Text(kLeft + kPlotWidth / 2, 16, "% of the study variation (GRR / tolerance: % of the tolerance)");
  for (double t = 0; t <= top + step / 2; t += step) {
    svg += Line(x(t), kTop, x(t), bottom, "#eee") + Line(x(t), bottom, x(t), bottom + 4, "#333") +
           Text(x(t), bottom + 16, ShortNumber(t));
  }
  svg += Text(kLeft + kPlotWidth / 2, height - 6, "%, the 10 % and 30 % marks dashed");
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const double y = kTop + row * static_cast<double>(i);
    const double percent = bars[i].second;
    // Only GRR is judged against the marks; the other components are its parts and PV.
    const bool judged = bars[i].first.rfind("GRR", 0) == 0;
    const char* colour = !judged         ? "#7f9fbf"
                         : percent < 10  ? "#2ca02c"
                         : percent <= 30 ? "#e6a700"
                                         : "#d62728";
    svg += Text(kLeft - 6, y + 15, bars[i].first, "end");
    svg += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(y + 4) + "\" width=\"" + Num(x(percent) - kLeft) +
           "\" height=\"14\" fill=\"" + colour + "\"/>";
    svg += Text(std::min(x(percent) + 4, kLeft + kPlotWidth - 30), y + 15, ShortNumber(percent), "start");
  }
  for (const double mark : {10.0, 30.0}) svg += Line(x(mark), kTop - 4, x(mark), bottom, "#555", 1, "4 3");
  svg += Line(kLeft, bottom, kLeft + kPlotWidth, bottom, "#333") + Line(kLeft, kTop, kLeft, bottom, "#333");
  return svg + "</svg>";
}

// Each part's readings by appraiser: the mean as a marker joined across the
// parts, the range (lowest to highest trial) as a bar through it.
std::string ReadingsByPart(const StoredStudy& study, const FigureStudy& f) {
  const GaugeStudyData& d = *f.data;
  const auto [low_it, high_it] = std::minmax_element(d.values.begin(), d.values.end());
  double low = *low_it, high = *high_it;
  if (high - low < 1e-12 * std::max(1.0, std::abs(high))) {
    low -= 1;
    high += 1;
  }
  const double step = TickStep(high - low, 5);
  low = std::floor(low / step) * step;
  high = std::ceil(high / step) * step;
  const double legend_rows = static_cast<double>((d.appraisers + 3) / 4);
  const double plot_height = 180, height = kTop + plot_height + 44 + 16 * legend_rows;
  const double bottom = kTop + plot_height;
  auto y = [&](double value) { return bottom - plot_height * (value - low) / (high - low); };
  const double slot = kPlotWidth / static_cast<double>(d.parts);
  const double spread = slot * 0.5 / static_cast<double>(d.appraisers);
  auto x = [&](std::size_t part, std::size_t appraiser) {
    return kLeft + slot * (static_cast<double>(part) + 0.25) +
           spread * (static_cast<double>(appraiser) + 0.5);
  };
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
                    Num(height) + "\" role=\"img\"><title>" + HtmlEscape(FigureTitle(f)) +
                    ": readings by part and appraiser</title>";
  svg += Text(kLeft + kPlotWidth / 2, 16, "readings by part: mean and range of the trials, per appraiser");
  for (double t = low; t <= high + step / 2; t += step) {
    svg += Line(kLeft, y(t), kLeft + kPlotWidth, y(t), "#eee") + Line(kLeft - 4, y(t), kLeft, y(t), "#333") +
           Text(kLeft - 6, y(t) + 4, ShortNumber(t), "end");
  }
  svg += "<text x=\"14\" y=\"" + Num(kTop + plot_height / 2) + "\" font-size=\"11\" text-anchor=\"middle\" " +
         "transform=\"rotate(-90 14 " + Num(kTop + plot_height / 2) + ")\">" + HtmlEscape(f.unit) + "</text>";
  for (std::size_t p = 0; p < d.parts; ++p) {
    svg += Text(kLeft + slot * (static_cast<double>(p) + 0.5), bottom + 16, study.parts[p]);
  }
  svg += Text(kLeft + kPlotWidth / 2, bottom + 32, "part");
  for (std::size_t a = 0; a < d.appraisers; ++a) {
    const std::string colour = kColours[a % std::size(kColours)];
    std::string path;
    for (std::size_t p = 0; p < d.parts; ++p) {
      const auto first = d.values.begin() + static_cast<std::ptrdiff_t>((p * d.appraisers + a) * d.trials);
      const auto last = first + static_cast<std::ptrdiff_t>(d.trials);
      const auto [lo, hi] = std::minmax_element(first, last);
      double mean = 0;
      for (auto it = first; it != last; ++it) mean += *it;
      mean /= static_cast<double>(d.trials);
      svg += Line(x(p, a), y(*lo), x(p, a), y(*hi), colour, 2);
      svg += "<circle cx=\"" + Num(x(p, a)) + "\" cy=\"" + Num(y(mean)) + "\" r=\"3.5\" fill=\"" + colour +
             "\"/>";
      path += (path.empty() ? "" : " ") + Num(x(p, a)) + "," + Num(y(mean));
    }
    svg +=
        "<polyline points=\"" + path + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-opacity=\"0.4\"/>";
    const double lx = kLeft + static_cast<double>(a % 4) * 100,
                 ly = bottom + 56 + 16 * static_cast<double>(a / 4);
    svg += "<rect x=\"" + Num(lx) + "\" y=\"" + Num(ly - 9) + "\" width=\"10\" height=\"10\" fill=\"" +
           colour + "\"/>" +
           Text(lx + 14, ly, study.appraisers[a].empty() ? "(none)" : study.appraisers[a], "start");
  }
  svg += Line(kLeft, bottom, kLeft + kPlotWidth, bottom, "#333") + Line(kLeft, kTop, kLeft, bottom, "#333");
  return svg + "</svg>";
}

}  // namespace

std::string GaugeStudyHtml(const StoredStudy& study, const std::string& name) {
  const std::string title = "Gauge R&R study" + (name.empty() ? std::string() : " " + name);
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"/><title>" + HtmlEscape(title) +
      "</title><style>body{font-family:sans-serif;margin:1em;color:#222}table{border-collapse:collapse}"
      "table{font-size:0.8em}td,th{border:1px solid #bbb;padding:2px "
      "4px;text-align:right}td{white-space:nowrap}td.figure,th{text-align:left}"
      "td.verdict{font-weight:bold;white-space:normal}section{margin-top:1.5em}svg{display:block;margin:0."
      "4em 0}"
      "</style></head><body>\n<h1>" +
      HtmlEscape(title) + "</h1>\n";
  std::string appraisers;
  for (const std::string& a : study.appraisers) appraisers += (appraisers.empty() ? "" : ", ") + a;
  std::string parts;
  for (const std::string& p : study.parts) parts += (parts.empty() ? "" : ", ") + p;
  html += "<p>Crossed, ANOVA method: <span id=\"shape\">" + std::to_string(study.parts.size()) + " parts × " +
          std::to_string(study.appraisers.size()) + " appraisers × " + std::to_string(study.trials) +
          " trials</span>. Parts: " + HtmlEscape(parts) + ". Appraisers: " + HtmlEscape(appraisers) +
          ". Variation as standard deviations; the study variation is 6 of them; the interaction is "
          "pooled into repeatability when its p-value is above 0.25. Verdict on %GRR of the tolerance "
          "(max - min of the limits) when there is one, else of the study variation: under 10 % "
          "acceptable, 10 to 30 % conditional, over 30 % not acceptable.</p>\n";
  html +=
      "<table id=\"study\"><thead><tr><th>figure</th><th>EV</th><th>AV</th><th>interaction</th><th>p</th>"
      "<th>GRR</th><th>PV</th><th>TV</th><th>%GRR study</th><th>%GRR tolerance</th><th>tolerance</th>"
      "<th>ndc</th><th>verdict</th></tr></thead><tbody>\n";
  std::string sections;
  for (const FigureStudy& f : study.figures) {
    html += "<tr>" + Cell(FigureTitle(f), "figure");
    if (!f.data) {
      html += "<td class=\"none\" colspan=\"12\">not defined in every run: not analysed</td></tr>\n";
      continue;
    }
    const GaugeStudyResult g = AnalyseGaugeStudy(*f.data, f.tolerance);
    html += Cell(ShortNumber(g.ev), "ev") + Cell(ShortNumber(g.av), "av") +
            Cell(g.pooled ? "pooled" : ShortNumber(g.interaction), "interaction") +
            Cell(ShortNumber(g.interaction_p), "p") + Cell(ShortNumber(g.grr), "grr") +
            Cell(ShortNumber(g.pv), "pv") + Cell(ShortNumber(g.tv), "tv") +
            Cell(Percent(g.grr_percent_study), "study-percent") +
            Cell(Percent(g.grr_percent_tolerance), "tolerance-percent") +
            Cell(f.tolerance ? ShortNumber(*f.tolerance) : "-", "tolerance") +
            Cell(g.ndc ? std::to_string(*g.ndc) : "-", "ndc") +
            Cell(g.verdict ? std::string(GaugeVerdictName(*g.verdict)) : "no variation at all", "verdict") +
            "</tr>\n";
    sections += "<section><h2>" + HtmlEscape(FigureTitle(f)) + "</h2>\n" + ComponentBars(f, g) + "\n" +
                ReadingsByPart(study, f) + "\n</section>\n";
  }
  html += "</tbody></table>\n" + sections + "</body></html>\n";
  return html;
}

}  // namespace multitone
