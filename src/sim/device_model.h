#pragma once
// The simulated playback device and the cables to the analyzer: two channels
// playing a multitone of 16 tones each (the tone tables below) at a speed
// factor, each tone at an RMS level shaped by a gentle frequency response,
// harmonics 2..9 on every tone, crosstalk between the channels, white noise,
// optional mains hum, and the faults a production line meets. Everything is
// deterministic for a seed.
//
// Signal path of one channel (L shown; R alike):
//   s_L  = sum over left tones t and orders h of tone t's output level x c_h
//   out_L = s_L + g_x s_R + noise_L + hum        (g_x: crosstalk gain)
//   clipping fault: out_L limited to +-rail; dead-left: out_L = 0
//   analyzer input A = out_L, B = out_R (exchanged by the swapped fault)
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/device_options.h"
#include "sim/noise_source.h"
#include "sim/oscillator_bank.h"

namespace multitone::sim {

enum class Channel { Left = 0, Right = 1 };

// What one rendering is for: the device time of sample 0, the analyzer's
// sample rate and band limit (components at or above it are not rendered),
// the period of the noise (the FFT size) and the number of the acquisition
// (each gets its own noise).
struct RenderRequest {
  double start_s = 0;
  double sample_rate_hz = 48000;
  double band_limit_hz = 22000;
  std::size_t noise_period = 16384;
  std::uint64_t acquisition = 0;
};

// Buffers and FFT plans reused from one rendering to the next.
struct RenderWorkspace {
  OscillatorBank oscillators;
  NoiseSource noise;
  std::array<std::vector<float>, 2> own;  // s_L, s_R
};

class DeviceModel {
 public:
  static constexpr int kToneCount = 16;
  static constexpr int kHighestHarmonic = 9;
  static constexpr double kHumHz = 50;
  static constexpr double kFaultHumV = 0.005;       // the hum fault's hum
  static constexpr double kClippingCrest = 2.0;     // rail / nominal RMS of the multitone
  static constexpr double kNoiseLowHz = 20;
  static constexpr double kNoiseHighHz = 20000;

  // REQUIRES: options pass ValidateDeviceOptions.
  explicit DeviceModel(const DeviceOptions& options);

  // Nominal tone frequencies in Hz, tone 1..16 at index 0..15.
  static const std::array<double, kToneCount>& NominalTonesHz(Channel channel);

  const DeviceOptions& Options() const { return options_; }
  // Frequency of tone 1..16 as the device plays it (nominal x speed).
  double ToneHz(Channel channel, int tone) const;
  // The output's frequency response in dB (about 0 at 1 kHz, a fraction of
  // a dB down at 30 Hz and 20 kHz; the channels differ slightly).
  static double ResponseDb(Channel channel, double hz);
  // RMS of tone 1..16 at the output: level x response.
  double ToneRmsV(Channel channel, int tone) const;
  // Amplitude of harmonic order h (2..9) relative to its tone; the RMS sum
  // over h is thd / 100.
  double HarmonicRatio(int order) const;
  double CrosstalkGain() const;
  double HumRmsV() const;     // of the 50 Hz fundamental, fault included
  double ClippingRailV() const;  // 0 without the clipping fault
  // The tones and their harmonics of one channel, and the hum.
  std::span<const Sinusoid> Multitone(Channel channel) const;
  std::span<const Sinusoid> Hum() const { return hum_; }

  // Renders the analyzer's inputs A and B (same length).
  void Render(const RenderRequest& request, RenderWorkspace& workspace, std::span<float> a,
              std::span<float> b) const;

 private:
  DeviceOptions options_;
  std::array<double, kHighestHarmonic + 1> harmonic_ratio_{};
  std::array<std::vector<Sinusoid>, 2> multitone_;
  std::vector<Sinusoid> hum_;
};

}  // namespace multitone::sim
