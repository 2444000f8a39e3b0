#include "store/stats_html.h"

#include "store/stats_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "common/html_escape.h"
#include "store/histogram_range.h"

namespace multitone {
namespace {

constexpr int kBins = 30;
constexpr int kCurves = 200;  // the newest runs drawn over the mask
// A panel and the plot inside it.
constexpr double kWidth = 480, kHeight = 230, kLeft = 48, kRight = 16, kTop = 30, kBottom = 42;
constexpr double kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kHeight - kTop - kBottom;

std::string Num(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

std::string Label(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4g", value);
  return buffer;
}

std::string Text(double x, double y, const std::string& text, const char* anchor = "middle",
                 const char* colour = "#333") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"11\" text-anchor=\"" + anchor +
         "\" fill=\"" + colour + "\">" + HtmlEscape(text) + "</text>";
}

std::string Line(double x1, double y1, double x2, double y2, const char* colour, double width = 1) {
  return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" + Num(y2) +
         "\" stroke=\"" + colour + "\" stroke-width=\"" + Num(width) + "\"/>";
}

std::string SvgStart() {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
         Num(kHeight) + "\">";
}

// The plot's frame: x ticks (position, label) under it with the x caption,
// y ticks beside it with the y caption.
std::string Axes(const std::vector<std::pair<double, std::string>>& x_ticks, const std::string& x_caption,
                 const std::vector<std::pair<double, std::string>>& y_ticks, const std::string& y_caption) {
  const double bottom = kTop + kPlotHeight;
  std::string svg = Line(kLeft, bottom, kLeft + kPlotWidth, bottom, "#333") + Line(kLeft, kTop, kLeft, bottom, "#333");
  for (const auto& [x, label] : x_ticks) {
    svg += Line(x, bottom, x, bottom + 4, "#333") + Text(x, bottom + 15, label);
  }
  for (const auto& [y, label] : y_ticks) {
    svg += Line(kLeft - 4, y, kLeft, y, "#333") + Line(kLeft, y, kLeft + kPlotWidth, y, "#eee") +
           Text(kLeft - 6, y + 4, label, "end");
  }
  svg += Text(kLeft + kPlotWidth / 2, kHeight - 6, x_caption);
  svg += "<text x=\"12\" y=\"" + Num(kTop + kPlotHeight / 2) + "\" font-size=\"11\" text-anchor=\"middle\" " +
         "transform=\"rotate(-90 12 " + Num(kTop + kPlotHeight / 2) + ")\">" + HtmlEscape(y_caption) + "</text>";
  return svg;
}

// A histogram of a figure's values over its limits and their robust range,
// values beyond counted (darker) in the edge bins; the limits as labelled
// red lines.
std::string Histogram(const FigureStats& f, const std::vector<double>& values) {
  const HistogramRange range = RangeOf(values, f.low, f.high);
  const double span = range.high - range.low;
  std::vector<std::size_t> bins(kBins, 0);
  std::size_t below = 0, above = 0;
  for (const double v : values) {
    below += v < range.low;
    above += v > range.high;
    const auto bin = static_cast<int>(std::floor((v - range.low) / span * kBins));
    ++bins[static_cast<std::size_t>(std::clamp(bin, 0, kBins - 1))];
  }
  const std::size_t tallest = std::max<std::size_t>(1, *std::max_element(bins.begin(), bins.end()));
  auto x = [&](double v) { return kLeft + (v - range.low) / span * kPlotWidth; };
  auto y = [&](double count) { return kTop + kPlotHeight - count / static_cast<double>(tallest) * kPlotHeight; };

  std::vector<std::pair<double, std::string>> x_ticks, y_ticks;
  for (const double t : AxisTicks(range.low, range.high, 5)) x_ticks.emplace_back(x(t), Label(t));
  for (const double t : AxisTicks(0, static_cast<double>(tallest), 4)) {
    if (t == std::floor(t)) y_ticks.emplace_back(y(t), Label(t));
  }
  std::string svg = SvgStart() + Axes(x_ticks, f.figure + " / " + f.unit, y_ticks, "runs");
  const double bin_width = kPlotWidth / kBins;
  for (int i = 0; i < kBins; ++i) {
    const auto count = static_cast<double>(bins[static_cast<std::size_t>(i)]);
    if (count == 0) continue;
    const bool edge = (i == 0 && below > 0) || (i == kBins - 1 && above > 0);
    svg += "<rect x=\"" + Num(kLeft + i * bin_width) + "\" y=\"" + Num(y(count)) + "\" width=\"" +
           Num(bin_width - 1) + "\" height=\"" + Num(kTop + kPlotHeight - y(count)) + "\" fill=\"" +
           (edge ? "#1d3d66" : "#4a7ab5") + "\"/>";
  }
  if (below > 0) svg += Text(kLeft + 2, kTop - 4, "◀ " + std::to_string(below) + " below", "start", "#1d3d66");
  if (above > 0) {
    svg += Text(kLeft + kPlotWidth - 2, kTop - 4, std::to_string(above) + " above ▶", "end", "#1d3d66");
  }
  for (const auto& [bound, name, anchor, shift] :
       {std::tuple{f.low, "min ", "start", 3.0}, std::tuple{f.high, "max ", "end", -3.0}}) {
    if (!bound) continue;
    svg += Line(x(*bound), kTop, x(*bound), kTop + kPlotHeight, "#c00", 2) +
           Text(x(*bound) + shift, kTop + 10, name + Label(*bound), anchor, "#c00");
  }
  return svg + "</svg>";
}

struct Point {
  double hz, db;
};

// The response curves of one channel on a log-frequency axis, scaled to the
// mask (a curve beyond it runs along the panel's edge).
std::string ResponseCurves(const std::vector<std::vector<Point>>& curves,
                           const std::vector<std::pair<double, std::pair<double, double>>>& mask) {
  double low = -3, high = 3;
  if (!mask.empty()) {
    low = INFINITY, high = -INFINITY;
    for (const auto& [hz, bounds] : mask) low = std::min(low, bounds.first), high = std::max(high, bounds.second);
    const double margin = std::max(0.5, (high - low) * 0.25);
    low -= margin, high += margin;
  }
  constexpr double kLowHz = 20, kDecades = 3;  // 20 Hz to 20 kHz
  auto x = [&](double hz) {
    return kLeft + std::clamp(std::log10(hz / kLowHz) / kDecades, 0.0, 1.0) * kPlotWidth;
  };
  auto y = [&](double db) { return kTop + std::clamp((high - db) / (high - low), 0.0, 1.0) * kPlotHeight; };
  std::vector<std::pair<double, std::string>> x_ticks, y_ticks;
  for (const auto& [hz, label] : {std::pair{20.0, "20"}, {50.0, "50"}, {100.0, "100"}, {200.0, "200"},
                                  {500.0, "500"}, {1000.0, "1k"}, {2000.0, "2k"}, {5000.0, "5k"},
                                  {10000.0, "10k"}, {20000.0, "20k"}}) {
    x_ticks.emplace_back(x(hz), label);
  }
  for (const double t : AxisTicks(low, high, 5)) y_ticks.emplace_back(y(t), Label(t));
  std::string svg = SvgStart() + Axes(x_ticks, "frequency / Hz", y_ticks, "dB re 1 kHz");
  if (mask.size() > 1) {
    std::string top, bottom;
    for (const auto& [hz, bounds] : mask) top += Num(x(hz)) + "," + Num(y(bounds.second)) + " ";
    for (auto it = mask.rbegin(); it != mask.rend(); ++it) {
      bottom += Num(x(it->first)) + "," + Num(y(it->second.first)) + " ";
    }
    svg += "<polygon points=\"" + top + bottom + "\" fill=\"#2a2\" fill-opacity=\"0.15\"/>";
    svg += "<polyline points=\"" + top + "\" fill=\"none\" stroke=\"#c00\"/>";
    svg += "<polyline points=\"" + bottom + "\" fill=\"none\" stroke=\"#c00\"/>";
  }
  for (const auto& curve : curves) {
    std::string line;
    for (const Point& p : curve) line += Num(x(p.hz)) + "," + Num(y(p.db)) + " ";
    svg += "<polyline points=\"" + line + "\" fill=\"none\" stroke=\"#4a7ab5\" stroke-opacity=\"0.4\"/>";
  }
  return svg + "</svg>";
}

}  // namespace

std::string StatsHtml(Database& db, const RunFilter& filter, const RunStats& stats) {
  const SqlCondition where = RunCondition(db.engine(), filter, 1);
  std::map<std::pair<std::string, std::string>, std::vector<double>> values;
  db.Query("SELECT m.figure, m.channel, m.value FROM measurements m JOIN runs r ON r.run_id = "
           "m.run_id WHERE m.tone = 0 AND m.value IS NOT NULL AND " + where.sql,
           where.params,
           [&](const SqlRow& row) { values[{row.Text(0), row.Text(1)}].push_back(row.Double(2)); });

  // Per channel: run id -> curve; the mask from the newest run's bounds.
  std::map<std::string, std::map<std::string, std::vector<Point>>> curves;
  std::map<std::string, std::vector<std::pair<double, std::pair<double, double>>>> masks;
  std::string newest;
  db.Query("SELECT r.run_id FROM runs r WHERE " + where.sql +
               " ORDER BY r.started_at DESC, r.run_id DESC LIMIT 1",
           where.params, [&](const SqlRow& row) { newest = row.Text(0); });
  std::vector<SqlValue> params = where.params;
  params.emplace_back(std::in_place_type<std::int64_t>, kCurves);
  db.Query("SELECT m.run_id, m.channel, m.nominal_hz, m.value, m.low, m.high FROM measurements m "
           "WHERE m.figure = 'response' AND m.run_id IN (SELECT r.run_id FROM runs r WHERE " +
               where.sql + " ORDER BY r.started_at DESC, r.run_id DESC LIMIT $" +
               std::to_string(params.size()) + ") ORDER BY m.run_id, m.channel, m.tone",
           params, [&](const SqlRow& row) {
             const std::string channel = row.Text(1);
             const double hz = row.Double(2);
             if (!row.IsNull(3)) curves[channel][row.Text(0)].push_back({hz, row.Double(3)});
             if (row.Text(0) == newest && !row.IsNull(4) && !row.IsNull(5)) {
               masks[channel].push_back({hz, {row.Double(4), row.Double(5)}});
             }
           });

  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>multitone stats</title>"
      "<style>body{font-family:sans-serif;margin:2em}pre{background:#f4f4f4;padding:1em}"
      "figure{display:inline-block;margin:0 1em 1em 0}</style></head><body>\n"
      "<h1>multitone stats</h1>\n<pre>" + HtmlEscape(StatsText(stats)) + "</pre>\n<h2>Figures</h2>\n";
  for (const FigureStats& f : stats.figures) {
    html += "<figure>" + Histogram(f, values[{f.figure, f.channel}]) + "<figcaption>" +
            HtmlEscape((f.channel.empty() ? "" : f.channel + " ") + f.figure) +
            "</figcaption></figure>\n";
  }
  html += "<h2>Response (newest " + std::to_string(kCurves) + " runs)</h2>\n";
  for (const std::string channel : {"left", "right"}) {
    std::vector<std::vector<Point>> drawn;
    for (auto& [id, curve] : curves[channel]) drawn.push_back(std::move(curve));
    html += "<figure>" + ResponseCurves(drawn, masks[channel]) + "<figcaption>" + channel +
            "</figcaption></figure>\n";
  }
  return html + "</body></html>\n";
}

}  // namespace multitone
