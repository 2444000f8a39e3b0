#include "sim/screen_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "sim/html_table.h"

namespace multitone::sim {
namespace {

constexpr double kWidth = 800, kHeight = 600;
// Plot area of the sweep graph.
constexpr double kLeft = 80, kRight = 760, kTop = 50, kBottom = 250;
constexpr double kFloorDb = -120;  // lower values are drawn on the bottom edge
constexpr const char* kTraceColours[2] = {"#1f5fbf", "#c0392b"};

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string Text(double x, double y, const std::string& content, const std::string& attributes = "") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"" + (attributes.empty() ? "" : " " + attributes) + ">" +
         EscapeMarkup(content) + "</text>\n";
}

std::string FrequencyLabel(double hz) {
  char text[32];
  if (hz >= 1000) {
    std::snprintf(text, sizeof text, "%gk", hz / 1000);
  } else {
    std::snprintf(text, sizeof text, "%g", hz);
  }
  return text;
}

struct Range {
  double low, high;
};

Range FrequencyRange(const SweepGraph& graph) {
  double low = graph.x_left_hz, high = graph.x_right_hz;
  if (!graph.x_scale_manual) {
    low = 1e300;
    high = 0;
    for (const SweepTrace& t : graph.traces) {
      for (const double x : t.x) {
        if (x > 0 && std::isfinite(x)) {
          low = std::min(low, x);
          high = std::max(high, x);
        }
      }
    }
  }
  if (!(low > 0 && high > low * 1.0001 && std::isfinite(high))) return {20, 20000};
  return {low, high};
}

// A range of dB values with about five grid steps of 1-2-5 size.
Range LevelRange(const SweepGraph& graph, double& step) {
  double low = -1, high = 1;
  for (const SweepTrace& t : graph.traces) {
    for (const double y : t.y) {
      if (!std::isfinite(y)) continue;
      low = std::min(low, std::max(y, kFloorDb));
      high = std::max(high, std::min(y, -kFloorDb));
    }
  }
  static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50};
  step = 50;
  for (const double s : kSteps) {
    if ((high - low) / s <= 8) {
      step = s;
      break;
    }
  }
  return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

std::string SweepGraphSvg(const SweepGraph& graph) {
  std::string svg;
  const Range x = FrequencyRange(graph);
  double step = 1;
  const Range y = LevelRange(graph, step);
  auto px = [&](double hz) {
    return kLeft + (std::log10(hz) - std::log10(x.low)) / (std::log10(x.high) - std::log10(x.low)) * (kRight - kLeft);
  };
  auto py = [&](double db) {
    const double clamped = std::clamp(db, y.low, y.high);
    return kBottom - (clamped - y.low) / (y.high - y.low) * (kBottom - kTop);
  };

  svg += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(kTop) + "\" width=\"" + Num(kRight - kLeft) +
         "\" height=\"" + Num(kBottom - kTop) + "\" fill=\"#ffffff\" stroke=\"#444444\"/>\n";
  // Grid: 1-2-5 frequencies, dB steps.
  for (double decade = std::pow(10.0, std::floor(std::log10(x.low))); decade <= x.high; decade *= 10) {
    for (const double m : {1.0, 2.0, 5.0}) {
      const double hz = decade * m;
      if (hz < x.low * 0.9999 || hz > x.high * 1.0001) continue;
      svg += "<line x1=\"" + Num(px(hz)) + "\" y1=\"" + Num(kTop) + "\" x2=\"" + Num(px(hz)) + "\" y2=\"" +
             Num(kBottom) + "\" stroke=\"#dddddd\"/>\n";
      svg += Text(px(hz), kBottom + 14, FrequencyLabel(hz), "text-anchor=\"middle\" font-size=\"10\"");
    }
  }
  for (double db = y.low; db <= y.high + step / 2; db += step) {
    svg += "<line x1=\"" + Num(kLeft) + "\" y1=\"" + Num(py(db)) + "\" x2=\"" + Num(kRight) + "\" y2=\"" +
           Num(py(db)) + "\" stroke=\"#dddddd\"/>\n";
    char label[32];
    std::snprintf(label, sizeof label, "%g", std::abs(db) < step / 1000 ? 0.0 : db);
    svg += Text(kLeft - 6, py(db) + 3, label, "text-anchor=\"end\" font-size=\"10\"");
  }
  svg += Text((kLeft + kRight) / 2, kBottom + 30, "Frequency / Hz", "text-anchor=\"middle\" font-size=\"12\"");
  svg += "<text x=\"24\" y=\"" + Num((kTop + kBottom) / 2) +
         "\" text-anchor=\"middle\" font-size=\"12\" transform=\"rotate(-90 24 " + Num((kTop + kBottom) / 2) +
         ")\">Response / dB</text>\n";

  for (std::size_t t = 0; t < 2; ++t) {
    const SweepTrace& trace = graph.traces[t];
    std::string points;
    std::string dots;
    const std::size_t n = std::min(trace.x.size(), trace.y.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (!(trace.x[i] > 0) || !std::isfinite(trace.x[i]) || !std::isfinite(trace.y[i])) continue;
      const double cx = std::clamp(px(trace.x[i]), kLeft, kRight);
      const double cy = py(trace.y[i]);
      points += Num(cx) + "," + Num(cy) + " ";
      dots += "<circle cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" r=\"2.5\" fill=\"" + kTraceColours[t] + "\"/>\n";
    }
    if (!points.empty()) {
      svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + kTraceColours[t] +
             "\" stroke-width=\"1.5\"/>\n" + dots;
    }
    char legend[96];
    std::snprintf(legend, sizeof legend, "%s  reference %.6g V", t == 0 ? "A (left)" : "B (right)", trace.reference);
    svg += Text(kLeft + 10 + 200 * static_cast<double>(t), kTop - 10, legend,
                std::string("font-size=\"11\" fill=\"") + kTraceColours[t] + "\"");
  }
  return svg;
}

std::string ExplanationSvg(const ExplanationWindow& window) {
  if (!window.shown) return "";
  constexpr double kLine = 15, kCharWidth = 6.6, kPad = 6;
  const double x = window.x, y = window.y, w = window.width, h = window.height;
  std::string svg = "<clipPath id=\"explanation\"><rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" +
                    Num(w) + "\" height=\"" + Num(h) + "\"/></clipPath>\n";
  svg += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) +
         "\" fill=\"#fffbe6\" stroke=\"#888866\"/>\n<g clip-path=\"url(#explanation)\" "
         "font-family=\"monospace\" font-size=\"11\">\n";
  const TableRows rows = ParseHtmlTable(window.text);
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (widths.size() <= i) widths.push_back(0);
      widths[i] = std::max(widths[i], row[i].text.size());
    }
  }
  double row_y = y + kPad + 11;
  for (const auto& row : rows) {
    double cell_x = x + kPad;
    for (std::size_t i = 0; i < row.size(); ++i) {
      svg += Text(cell_x, row_y, row[i].text, row[i].bold ? "font-weight=\"bold\"" : "");
      cell_x += static_cast<double>(widths[i]) * kCharWidth + 2 * kPad;
    }
    row_y += kLine;
  }
  return svg + "</g>\n";
}

std::string MemorySvg(const std::array<std::string, kMemoryStrings>& memory) {
  std::string svg = Text(20, 310, "Memory strings", "font-size=\"12\" font-weight=\"bold\"");
  for (std::size_t i = 0; i < 8; ++i) {
    svg += Text(20, 330 + 18 * static_cast<double>(i), std::to_string(i + 1) + ": " + memory[i].substr(0, 60),
                "font-family=\"monospace\" font-size=\"11\"");
  }
  return svg;
}

}  // namespace

std::string ScreenSvg(const InstrumentState& state) {
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    Num(kWidth) + "\" height=\"" + Num(kHeight) + "\" viewBox=\"0 0 " + Num(kWidth) + " " +
                    Num(kHeight) + "\" font-family=\"sans-serif\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#f4f4f0\"/>\n";
  svg += Text(20, 22, "Sweep graph", "font-size=\"13\" font-weight=\"bold\"");
  svg += SweepGraphSvg(state.sweep);
  svg += MemorySvg(state.memory);
  svg += ExplanationSvg(state.explanation);
  return svg + "</svg>\n";
}

}  // namespace multitone::sim
