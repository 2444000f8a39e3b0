#pragma once
// The results of one run as one plain value of fixed types, built from the
// run's working record once the run has ended (complete or failed part-way).
// Every consumer (limits, JSON, reports, the results store, the station page)
// reads this value, never the record. The values are exactly those the
// memory strings carry; a figure that could not be formed (crosstalk or
// signal-to-noise 240, distortion 0 with neither tone nor harmonics, response
// -240) or whose step never ran is not defined.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>


namespace multitone {

enum class Channel { Left, Right };
inline constexpr std::array<Channel, 2> kChannels = {Channel::Left, Channel::Right};
// "left", "right".
std::string_view ChannelName(Channel channel);

// The figures each channel has, in the order of the memory strings 2 to 8.
enum class Figure {
  TotalLevel,
  ReferenceLevel,
  Distortion,
  Crosstalk100Hz,
  Crosstalk10kHz,
  Noise,
  SignalToNoise,
};
inline constexpr std::size_t kFigureCount = 7;
inline constexpr std::array<Figure, kFigureCount> kFigures = {
    Figure::TotalLevel, Figure::ReferenceLevel, Figure::Distortion, Figure::Crosstalk100Hz,
    Figure::Crosstalk10kHz, Figure::Noise, Figure::SignalToNoise};

// The figure's name everywhere outside the run ("signal_to_noise") and its
// unit ("dB"). The unit's one-figure names: "pitch_error" in "%", and the
// per-tone "response" in "dB".
std::string_view FigureName(Figure figure);
std::string_view FigureUnit(Figure figure);
inline constexpr std::string_view kPitchErrorName = "pitch_error";
inline constexpr std::string_view kPitchErrorUnit = "%";
inline constexpr std::string_view kResponseName = "response";
inline constexpr std::string_view kResponseUnit = "dB";

struct FigureValue {
  double value = 0;      // meaningful only when defined
  bool defined = false;
};

struct ToneResult {
  int tone = 0;             // 1 .. 16
  double nominal_hz = 0;    // the tone table's frequency
  double frequency_hz = 0;  // corrected by the pitch factor; 0 when not formed
  FigureValue response_db;  // relative to the channel's 1 kHz tone
};

struct ChannelResults {
  std::array<FigureValue, kFigureCount> figures{};
  std::vector<ToneResult> tones;  // tone 1 first; always 16 entries

  const FigureValue& operator[](Figure figure) const {
    return figures[static_cast<std::size_t>(figure)];
  }
  FigureValue& operator[](Figure figure) { return figures[static_cast<std::size_t>(figure)]; }
};

// How a run that did not complete ended.
struct RunFailure {
  int number = 0;       // 440
  std::string step;     // "AcquireSpectra"
  std::string text;     // what was seen
  // "error 440: AcquireSpectra: what was seen", as the operator sees it.
  std::string Line() const;
};

struct RunResults {
  bool complete = false;                 // every step ran
  std::optional<RunFailure> error;       // set when the run failed
  FigureValue reference_frequency_hz;    // the reference tone as read
  FigureValue pitch_error;               // %, (1 - PitchFactor) × 100
  ChannelResults left, right;

  const ChannelResults& Of(Channel channel) const {
    return channel == Channel::Left ? left : right;
  }
  ChannelResults& Of(Channel channel) { return channel == Channel::Left ? left : right; }
};

}  // namespace multitone
