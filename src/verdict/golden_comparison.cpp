#include "verdict/golden_comparison.h"

#include <cmath>
#include <cstdio>

#include "common/short_number.h"
#include "verdict/golden_section.h"

namespace multitone {
namespace {

std::string Signed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.3g", value);
  return text;
}

void Compare(GoldenDeviation d, const FigureValue& measured, bool ratio, std::vector<GoldenDeviation>& out) {
  if (measured.defined) {
    d.value = measured.value;
    if (!ratio) {
      d.moved = measured.value - d.reference;
    } else if (measured.value > 0) {
      d.moved = 20 * std::log10(measured.value / d.reference);
    }
  }
  d.within = d.moved && std::isfinite(*d.moved) && std::fabs(*d.moved) <= d.tolerance;
  out.push_back(std::move(d));
}

}  // namespace

GoldenCheck CompareWithGolden(const RunResults& results, const GoldenUnit& unit, const GoldenSettings& golden) {
  GoldenCheck check;
  check.serial = unit.serial;
  if (results.error) check.run_error = results.error->Line();
  if (unit.pitch_error) {
    if (const auto tolerance = golden.ToleranceFor(unit, std::string(kPitchErrorName))) {
      GoldenDeviation d;
      d.figure = kPitchErrorName;
      d.reference = *unit.pitch_error;
      d.unit = "%";
      d.tolerance = *tolerance;
      Compare(std::move(d), results.pitch_error, false, check.compared);
    }
  }
  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) {
      const auto& reference = unit.Of(channel, figure);
      if (!reference) continue;
      GoldenDeviation d;
      d.figure = FigureName(figure);
      d.channel = ChannelName(channel);
      d.reference = *reference;
      d.unit = "dB";
      d.tolerance = *golden.ToleranceFor(unit, d.figure);
      Compare(std::move(d), results.Of(channel)[figure], ComparedAsRatio(figure), check.compared);
    }
  }
  for (const Channel channel : kChannels) {
    const auto& tones = unit.response[channel == Channel::Left ? 0 : 1];
    const std::vector<ToneResult>& measured = results.Of(channel).tones;
    for (std::size_t i = 0; i < kGoldenTones; ++i) {
      if (!tones[i]) continue;
      GoldenDeviation d;
      d.figure = kResponseName;
      d.channel = ChannelName(channel);
      d.tone = static_cast<int>(i + 1);
      d.reference = *tones[i];
      d.unit = "dB";
      d.tolerance = *golden.ToleranceFor(unit, d.figure);
      FigureValue value;
      if (i < measured.size()) {
        d.nominal_hz = measured[i].nominal_hz;
        value = measured[i].response_db;
      }
      Compare(std::move(d), value, false, check.compared);
    }
  }
  check.passed = check.run_error.empty() && !check.compared.empty();
  for (const GoldenDeviation& d : check.compared) check.passed = check.passed && d.within;
  return check;
}

std::string DeviationText(const GoldenDeviation& d) {
  std::string name = d.channel.empty() ? d.figure : d.channel + " " + d.figure;
  if (d.tone != 0) name += " tone " + std::to_string(d.tone) + " (" + ShortNumber(d.nominal_hz) + " Hz)";
  const std::string tolerance = " (tolerance " + ShortNumber(d.tolerance) + " " + d.unit + ")";
  if (!d.value) return name + " not defined" + tolerance;
  if (!d.moved || !std::isfinite(*d.moved)) {
    return name + " read " + ShortNumber(*d.value) + " against its reference " + ShortNumber(d.reference) + tolerance;
  }
  return name + " moved " + Signed(*d.moved) + " " + d.unit + tolerance;
}

std::string GoldenCheckLine(const GoldenCheck& check) {
  if (check.passed) return "golden check passed";
  std::string line = "golden check FAILED:";
  std::string sep = " ";
  if (!check.run_error.empty()) {
    line += sep + "the run did not complete (" + check.run_error + ")";
    sep = "; ";
  }
  for (const GoldenDeviation& d : check.compared) {
    if (d.within) continue;
    line += sep + DeviationText(d);
    sep = "; ";
  }
  if (check.compared.empty()) line += sep + "no reference figure was compared";
  return line;
}

}  // namespace multitone
