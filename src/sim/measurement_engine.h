#pragma once
// One acquisition of the analyzer: the device's output is rendered at
// 48 kHz for the FFT size (plus a settling lead when the user filter is in
// the path), band-limited, filtered, and measured: RMS level and frequency
// of each input, and both windowed FFT magnitude spectra.
#include <array>
#include <cstdint>
#include <vector>

#include "sim/device_model.h"
#include "sim/frequency_counter.h"
#include "sim/instrument_state.h"
#include "sim/spectrum_analyzer.h"

namespace multitone::sim {

struct MeasurementSetup {
  int fft_size = 16384;
  WindowKind window = WindowKind::FlatTop;
  double band_limit_hz = 22000;
  bool user_filter_active = false;
  UserFilterSettings user_filter;
};

struct Measurement {
  std::array<double, 2> level_v{};       // RMS of input A, B
  std::array<double, 2> frequency_hz{};  // strongest sinusoid of input A, B
  std::array<std::vector<float>, 2> spectrum_v;  // bins 0..N/2-1, V RMS
  double bin_width_hz = 0;
};

class MeasurementEngine {
 public:
  static constexpr double kSampleRateHz = 48000;
  // Device time between the starts of two acquisitions: each one sees a new
  // stretch of the signal (other phases, other noise).
  static constexpr double kAcquisitionSpacingS = 1.0;
  // Samples the user filter runs before the record starts.
  static constexpr std::size_t kFilterLead = 4096;

  // Band limit of a band mode: B22 22 kHz, B44 everything below 24 kHz.
  static double BandLimitHz(BandMode mode);

  MeasurementEngine() : counter_(spectra_) {}

  // Acquisition number `acquisition` (0, 1, ...) of the device.
  Measurement Measure(const DeviceModel& device, const MeasurementSetup& setup, std::uint64_t acquisition);

 private:
  RenderWorkspace workspace_;
  SpectrumAnalyzer spectra_;
  FrequencyCounter counter_;
  std::array<std::vector<float>, 2> inputs_;
};

}  // namespace multitone::sim
