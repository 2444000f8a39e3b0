#pragma once
// The station's check on known units (the limits file's [golden] section):
// how often a golden unit must be tested, the golden units with their
// reference figures, and how far a figure may move from its reference.
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "run/run_results.h"

namespace multitone {

inline constexpr std::size_t kGoldenTones = 16;

// One golden unit: its serial and the figures it read when it was taken as
// a reference. A figure with no reference is not compared.
struct GoldenUnit {
  std::string serial;
  std::optional<double> pitch_error;  // %
  // Per channel (left, right), per figure in kFigures order.
  std::array<std::array<std::optional<double>, kFigureCount>, 2> figures{};
  // Per channel, the response of tones 1 to 16 in dB.
  std::array<std::array<std::optional<double>, kGoldenTones>, 2> response{};
  std::optional<double> tolerance;  // this unit's default tolerance in dB

  const std::optional<double>& Of(Channel channel, Figure figure) const {
    return figures[channel == Channel::Left ? 0 : 1][static_cast<std::size_t>(figure)];
  }
  std::optional<double>& Of(Channel channel, Figure figure) {
    return figures[channel == Channel::Left ? 0 : 1][static_cast<std::size_t>(figure)];
  }
};

struct GoldenSettings {
  // True when the limits file has a [golden] section.
  bool present = false;
  std::optional<std::chrono::seconds> every;  // a check at least this often
  std::optional<std::int64_t> every_units;    // ... and every this many production units
  double tolerance = 0;                       // dB, for every figure not named below
  // Per figure ("noise", "response", "pitch_error" in %), overriding the default.
  std::map<std::string, double> tolerances;
  std::vector<GoldenUnit> units;

  const GoldenUnit* Find(const std::string& serial) const {
    for (const GoldenUnit& unit : units) {
      if (unit.serial == serial) return &unit;
    }
    return nullptr;
  }
  // The tolerance that applies to a figure ("pitch_error", "response", a
  // figure name) of `unit`; empty for pitch_error when none is stated.
  std::optional<double> ToleranceFor(const GoldenUnit& unit, const std::string& figure) const {
    if (const auto named = tolerances.find(figure); named != tolerances.end()) return named->second;
    if (figure == "pitch_error") return std::nullopt;
    return unit.tolerance ? *unit.tolerance : tolerance;
  }
};

}  // namespace multitone
