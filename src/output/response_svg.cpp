#include "output/response_svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace multitone {
namespace {

constexpr double kWidth = 640, kHeight = 300;
constexpr double kLeft = 56, kRight = 624, kTop = 16, kBottom = 264;
constexpr double kLowHz = 20, kHighHz = 20000;
constexpr const char* kColour[2] = {"#1f5fbf", "#c0392b"};

// One decimal, as printf's "%.1f".
std::string Num(double v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 1).ptr;
  return std::string(text, end);
}

double X(double hz) {
  const double clamped = std::clamp(hz, kLowHz, kHighHz);
  return kLeft + (kRight - kLeft) * std::log(clamped / kLowHz) / std::log(kHighHz / kLowHz);
}

struct Scale {
  double low, high, step;
  double Y(double db) const {
    return kBottom - (kBottom - kTop) * (std::clamp(db, low, high) - low) / (high - low);
  }
};

// A dB range around the drawn values and the mask, in whole grid steps.
Scale MakeScale(const UnitResult& unit) {
  double low = -3, high = 3;
  for (const Measurement& m : unit.judgement.measurements) {
    if (m.figure != kResponseName) continue;
    if (m.value) low = std::min(low, *m.value), high = std::max(high, *m.value);
    if (m.low) low = std::min(low, *m.low);
    if (m.high) high = std::max(high, *m.high);
  }
  if (unit.limits) {
    for (const MaskPoint& p : unit.limits->limits.response_mask) {
      low = std::min(low, p.low_db);
      high = std::max(high, p.high_db);
    }
  }
  low = std::max(low, -60.0);
  high = std::min(high, 60.0);
  double step = 1;
  for (const double s : {1.0, 2.0, 5.0, 10.0, 20.0}) {
    step = s;
    if ((high - low) / s <= 8) break;
  }
  return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

}  // namespace

std::string ResponseSvg(const UnitResult& unit) {
  const Scale scale = MakeScale(unit);
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"response\" viewBox=\"0 0 " +
                    Num(kWidth) + " " + Num(kHeight) + "\" font-family=\"sans-serif\" font-size=\"11\">\n";
  svg += "<rect x=\"" + Num(kLeft) + "\" y=\"" + Num(kTop) + "\" width=\"" + Num(kRight - kLeft) +
         "\" height=\"" + Num(kBottom - kTop) + "\" fill=\"#fff\" stroke=\"#888\"/>\n";

  // The mask: the band between its low and high lines, straight in dB over
  // log frequency between points.
  if (unit.limits && !unit.limits->limits.response_mask.empty()) {
    const auto& mask = unit.limits->limits.response_mask;
    std::string points;
    for (const MaskPoint& p : mask) points += Num(X(p.hz)) + "," + Num(scale.Y(p.high_db)) + " ";
    for (auto p = mask.rbegin(); p != mask.rend(); ++p) {
      points += Num(X(p->hz)) + "," + Num(scale.Y(p->low_db)) + " ";
    }
    svg += "<polygon class=\"mask\" points=\"" + points + "\" fill=\"#2e9d4a\" fill-opacity=\"0.15\" "
           "stroke=\"#2e9d4a\" stroke-opacity=\"0.5\"/>\n";
  }

  // Each coordinate's text is formed once: the grid repeats a few of them.
  const std::string left = Num(kLeft), right = Num(kRight), label_x = Num(kLeft - 6);
  for (double db = scale.low; db <= scale.high + 1e-9; db += scale.step) {
    const std::string y = Num(scale.Y(db));
    svg += "<line x1=\"" + left + "\" x2=\"" + right + "\" y1=\"" + y + "\" y2=\"" + y + "\" stroke=\"#ddd\"/>";
    svg += "<text x=\"" + label_x + "\" y=\"" + Num(scale.Y(db) + 4) + "\" text-anchor=\"end\">" + Num(db) +
           "</text>\n";
  }
  const std::string top = Num(kTop), bottom = Num(kBottom), label_y = Num(kBottom + 14);
  for (const double hz : {20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0}) {
    char label[16];
    std::snprintf(label, sizeof label, hz >= 1000 ? "%gk" : "%g", hz >= 1000 ? hz / 1000 : hz);
    const std::string x = Num(X(hz));
    svg += "<line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + top + "\" y2=\"" + bottom + "\" stroke=\"#eee\"/>";
    svg += "<text x=\"" + x + "\" y=\"" + label_y + "\" text-anchor=\"middle\">" + label + "</text>\n";
  }
  svg += "<text x=\"" + right + "\" y=\"" + Num(kHeight - 4) + "\" text-anchor=\"end\">Hz</text>";
  svg += "<text x=\"12\" y=\"" + Num(kTop + 8) + "\">dB</text>\n";

  for (const Channel channel : kChannels) {
    const int c = channel == Channel::Left ? 0 : 1;
    std::string points, marks;
    for (const Measurement& m : unit.judgement.measurements) {
      if (m.figure != kResponseName || m.channel != ChannelName(channel) || !m.value) continue;
      const double hz = m.frequency_hz > 0 ? m.frequency_hz : m.nominal_hz;
      const std::string x = Num(X(hz)), y = Num(scale.Y(*m.value));
      points += x + "," + y + " ";
      if (m.outcome == Outcome::Fail) {
        marks += "<circle class=\"fail\" cx=\"" + x + "\" cy=\"" + y +
                 "\" r=\"5\" fill=\"none\" stroke=\"#d00\" stroke-width=\"2\"/>";
      }
    }
    svg += "<polyline class=\"" + std::string(ChannelName(channel)) + "\" points=\"" + points +
           "\" fill=\"none\" stroke=\"" + kColour[c] + "\" stroke-width=\"2\"/>" + marks + "\n";
    svg += "<text x=\"" + Num(kRight - 70 + 40 * c) + "\" y=\"" + Num(kTop + 14) + "\" fill=\"" + kColour[c] +
           "\">" + (c == 0 ? "left" : "right") + "</text>\n";
  }
  return svg + "</svg>\n";
}

}  // namespace multitone
