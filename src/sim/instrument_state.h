#pragma once
// Everything the analyzer keeps between clients: its settings, the memory
// strings and what its display shows. Plain data; the command handlers
// change it, the measurement engine and the screen read it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace multitone::sim {

enum class LevelUnit { V, DBV, DBU };
enum class WindowKind { FlatTop, Hann, Rectangular };
enum class BandMode { B22, B44 };
enum class TransferFormat { Real, Ascii };
enum class InputFilter { Off, UserFilter1 };

// The user filter: a band-pass between two edges whose stop band is held at
// `attenuation_db` below the pass band.
struct UserFilterSettings {
  double lower_hz = 400;
  double upper_hz = 4000;
  double attenuation_db = 40;
};

struct Settings {
  std::array<LevelUnit, 2> unit = {LevelUnit::DBV, LevelUnit::DBV};  // channel A, B
  std::array<bool, 2> fft_unit_trace = {false, false};  // spectra in the level unit (else V)
  WindowKind window = WindowKind::Hann;
  int fft_size = 8192;  // 4096, 8192, 16384 or 32768 points
  BandMode band = BandMode::B44;
  UserFilterSettings user_filter;
  InputFilter input_filter = InputFilter::Off;
  bool continuous = true;
  TransferFormat format = TransferFormat::Ascii;
};

struct SweepTrace {
  std::vector<double> x;  // Hz
  std::vector<double> y;  // dB
  double reference = 1.0; // V
};

struct SweepGraph {
  bool x_source_manual = false;
  bool x_scale_manual = false;
  double x_left_hz = 20;
  double x_right_hz = 20000;
  std::array<SweepTrace, 2> traces;  // A, B
};

struct ExplanationWindow {
  bool shown = false;
  std::string placement;  // as given: "x=381,y=296,w=259,h=142"
  int x = 0, y = 0, width = 0, height = 0;
  std::string text;       // the HTML as given
};

constexpr std::size_t kMemoryStrings = 32;
constexpr std::size_t kMaxTracePoints = 1024;

struct InstrumentState {
  Settings settings;
  std::array<std::string, kMemoryStrings> memory;  // strings 1..32 at 0..31
  SweepGraph sweep;
  ExplanationWindow explanation;
  std::uint64_t display_version = 0;  // grows whenever the display changes
};

}  // namespace multitone::sim
