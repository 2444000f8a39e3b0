#include "store/stats_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "common/html_escape.h"

namespace multitone {
namespace {

constexpr int kBins = 30;
constexpr int kCurves = 200;  // the newest runs drawn over the mask
constexpr double kWidth = 480, kHeight = 200, kMargin = 30;

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

// A histogram of a figure's values with its limits as red lines.
std::string Histogram(const FigureStats& f, const std::vector<double>& values) {
  double low = f.min, high = f.max;
  if (f.low) low = std::min(low, *f.low);
  if (f.high) high = std::max(high, *f.high);
  if (high <= low) high = low + 1;
  const double pad = (high - low) * 0.05;
  low -= pad;
  high += pad;
  std::vector<std::size_t> bins(kBins, 0);
  for (const double v : values) {
    const auto bin = static_cast<int>((v - low) / (high - low) * kBins);
    ++bins[static_cast<std::size_t>(std::clamp(bin, 0, kBins - 1))];
  }
  const double tallest = static_cast<double>(std::max<std::size_t>(1, *std::max_element(bins.begin(), bins.end())));
  auto x = [&](double v) { return kMargin + (v - low) / (high - low) * (kWidth - 2 * kMargin); };
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) +
                    "\" height=\"" + Num(kHeight) + "\">";
  const double bin_width = (kWidth - 2 * kMargin) / kBins;
  for (int i = 0; i < kBins; ++i) {
    const double h = static_cast<double>(bins[static_cast<std::size_t>(i)]) / tallest * (kHeight - 2 * kMargin);
    svg += "<rect x=\"" + Num(kMargin + i * bin_width) + "\" y=\"" + Num(kHeight - kMargin - h) +
           "\" width=\"" + Num(bin_width - 1) + "\" height=\"" + Num(h) + "\" fill=\"#4a7ab5\"/>";
  }
  for (const auto& bound : {f.low, f.high}) {
    if (!bound) continue;
    svg += "<line x1=\"" + Num(x(*bound)) + "\" x2=\"" + Num(x(*bound)) + "\" y1=\"" +
           Num(kMargin / 2) + "\" y2=\"" + Num(kHeight - kMargin) +
           "\" stroke=\"#c00\" stroke-width=\"2\"/>";
  }
  svg += "<text x=\"" + Num(kMargin) + "\" y=\"" + Num(kHeight - 8) + "\" font-size=\"11\">" +
         Label(low) + "</text><text x=\"" + Num(kWidth - kMargin) + "\" y=\"" + Num(kHeight - 8) +
         "\" font-size=\"11\" text-anchor=\"end\">" + Label(high) + " " + HtmlEscape(f.unit) +
         "</text></svg>";
  return svg;
}

struct Point {
  double hz, db;
};

// The response curves of one channel on a log-frequency axis over the mask.
std::string ResponseCurves(const std::vector<std::vector<Point>>& curves,
                           const std::vector<std::pair<double, std::pair<double, double>>>& mask) {
  double low = -3, high = 3;
  for (const auto& curve : curves) {
    for (const Point& p : curve) low = std::min(low, p.db), high = std::max(high, p.db);
  }
  for (const auto& [hz, bounds] : mask) low = std::min(low, bounds.first), high = std::max(high, bounds.second);
  auto x = [&](double hz) {
    return kMargin + (std::log10(std::max(hz, 10.0)) - 1) / 4.5 * (kWidth - 2 * kMargin);
  };
  auto y = [&](double db) { return kMargin + (high - db) / (high - low) * (kHeight - 2 * kMargin); };
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) +
                    "\" height=\"" + Num(kHeight) + "\">";
  if (mask.size() > 1) {
    std::string band;
    for (const auto& [hz, bounds] : mask) band += Num(x(hz)) + "," + Num(y(bounds.second)) + " ";
    for (auto it = mask.rbegin(); it != mask.rend(); ++it) {
      band += Num(x(it->first)) + "," + Num(y(it->second.first)) + " ";
    }
    svg += "<polygon points=\"" + band + "\" fill=\"#2a2\" fill-opacity=\"0.15\"/>";
  }
  for (const auto& curve : curves) {
    std::string line;
    for (const Point& p : curve) line += Num(x(p.hz)) + "," + Num(y(p.db)) + " ";
    svg += "<polyline points=\"" + line + "\" fill=\"none\" stroke=\"#4a7ab5\" stroke-opacity=\"0.4\"/>";
  }
  svg += "<text x=\"" + Num(kMargin) + "\" y=\"" + Num(kHeight - 8) +
         "\" font-size=\"11\">10 Hz … 30 kHz, " + Label(low) + " … " + Label(high) +
         " dB</text></svg>";
  return svg;
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
