#pragma once
// The limits a unit is judged against, read from a TOML file:
//
//   product = "PB-200"              # optional
//   revision = "C"                  # optional
//   serial_pattern = '^PB2\d{7}$'   # optional, a regular expression (RE2)
//   [pitch_error]                   # min, max, marginal (all optional)
//   [signal_to_noise]               # a figure table for both channels ...
//   [signal_to_noise.right]         # ... and an override for one channel
//   [response]
//   mask = [[Hz, low dB, high dB], ...]   # Hz ascending
//   [control]                       # control charts and alarms (control_section.h)
//   [golden]                        # the station check on golden units (golden_section.h)
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_results.h"
#include "verdict/control_settings.h"
#include "verdict/golden_settings.h"

namespace multitone {

// One figure's bounds, inclusive. `marginal` is a guard band inside each
// bound: a value within it of a bound is MARGINAL.
struct FigureLimit {
  std::optional<double> min;
  std::optional<double> max;
  double marginal = 0;

  bool Empty() const { return !min && !max; }
};

struct MaskPoint {
  double hz = 0;
  double low_db = 0;
  double high_db = 0;
};

struct Limits {
  std::string product;         // empty when not given
  std::string revision;
  std::string serial_pattern;  // empty: any serial

  FigureLimit pitch_error;
  // Per figure and channel, the channel's override already applied.
  std::array<std::array<FigureLimit, kFigureCount>, 2> figures{};
  std::vector<MaskPoint> response_mask;  // empty: the response is not judged
  ControlSettings control;               // [control]; never judges a unit
  GoldenSettings golden;                 // [golden]; never judges a unit

  const FigureLimit& Of(Channel channel, Figure figure) const {
    return figures[channel == Channel::Left ? 0 : 1][static_cast<std::size_t>(figure)];
  }
};

// Where a run's limits came from: stored with every result.
struct LimitsSource {
  std::string file;     // as given on the command line
  std::string sha256;   // of the file's bytes, lower-case hex
  std::string content;  // the file's bytes
  Limits limits;
};

// "FILE:LINE:COL: what is wrong" for a malformed limits file.
class LimitsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses a limits file's text; `file` names it in errors. Throws LimitsError.
Limits ParseLimits(std::string_view content, const std::string& file);

// Reads and parses the file. Throws LimitsError (also when it cannot be read).
LimitsSource LoadLimits(const std::string& file);

// The response mask's bounds at `hz`: linear in dB over log frequency
// between points; nothing outside the first and last point.
std::optional<std::pair<double, double>> MaskBoundsAt(const std::vector<MaskPoint>& mask, double hz);

}  // namespace multitone
