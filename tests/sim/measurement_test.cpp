// The measurement chain on its own: window, spectrum calibration, frequency
// counter, user filter, level meter.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sim/fft_window.h"
#include "sim/frequency_counter.h"
#include "sim/measurement_engine.h"
#include "sim/spectrum_analyzer.h"
#include "sim/user_filter.h"

namespace multitone::sim {
namespace {

std::vector<float> Sine(std::size_t n, double hz, double rms, double phase = 0.3) {
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = static_cast<float>(std::sqrt(2.0) * rms * std::cos(2 * std::numbers::pi * hz * static_cast<double>(i) / 48000 + phase));
  }
  return x;
}

TEST(FftWindow, FlatTopIsTheFiveTermFastDecayingOneWithItsNoiseBandwidth) {
  const std::vector<double> a = WindowCoefficients(WindowKind::FlatTop);
  EXPECT_EQ(a, (std::vector<double>{0.1881, -0.36923, 0.28702, -0.13077, 0.02488}));
  EXPECT_NEAR(NoiseBandwidthBins(WindowKind::FlatTop), 4.3412, 0.0005);
  EXPECT_NEAR(std::sqrt(NoiseBandwidthBins(WindowKind::FlatTop)), 2.0835, 0.0005);
  EXPECT_DOUBLE_EQ(NoiseBandwidthBins(WindowKind::Hann), 1.5);
  EXPECT_DOUBLE_EQ(NoiseBandwidthBins(WindowKind::Rectangular), 1.0);
}

TEST(SpectrumAnalyzer, SineOfRmsAShowsAAtItsBinForEveryWindow) {
  SpectrumAnalyzer analyzer;
  std::vector<float> spectrum;
  for (const WindowKind window : {WindowKind::FlatTop, WindowKind::Hann, WindowKind::Rectangular}) {
    // On a bin centre: 1000 bins of 2.9296875 Hz.
    analyzer.Magnitudes(Sine(16384, 2929.6875, 0.25), window, spectrum);
    ASSERT_EQ(spectrum.size(), 8192u);
    EXPECT_NEAR(spectrum[1000], 0.25, 1e-5) << static_cast<int>(window);
  }
  // Between two bins the flat-top still reads the level within 0.003 dB.
  analyzer.Magnitudes(Sine(16384, 1001.2, 0.19364), WindowKind::FlatTop, spectrum);
  EXPECT_NEAR(20 * std::log10(spectrum[342] / 0.19364), 0.0, 0.003);
}

TEST(FrequencyCounter, ReadsAToneToAFewMillionthsOfAHertz) {
  SpectrumAnalyzer analyzer;
  FrequencyCounter counter(analyzer);
  for (const double hz : {1001.2, 998.5, 1000.0, 440.123}) {
    EXPECT_NEAR(counter.Measure(Sine(16384, hz, 0.2), 48000), hz, 1e-4) << hz;
  }
}

TEST(FrequencyCounter, SilenceReadsZero) {
  SpectrumAnalyzer analyzer;
  FrequencyCounter counter(analyzer);
  EXPECT_EQ(counter.Measure(std::vector<float>(16384, 0.0f), 48000), 0.0);
}

TEST(UserFilter, PassesItsBandAndHoldsTheStopBandAtTheAttenuation) {
  const UserFilter filter({900, 1100, 60}, 48000);
  EXPECT_NEAR(filter.GainAt(1000), 1.0, 0.01);
  EXPECT_NEAR(20 * std::log10(filter.GainAt(900)), -3.0, 0.2);
  EXPECT_NEAR(20 * std::log10(filter.GainAt(1100)), -3.0, 0.2);
  EXPECT_LT(20 * std::log10(filter.GainAt(710)), -40);
  EXPECT_NEAR(20 * std::log10(filter.GainAt(100)), -60, 0.5);
  EXPECT_NEAR(20 * std::log10(filter.GainAt(15000)), -60, 0.5);
}

TEST(UserFilter, FilteredRecordHasTheGainTheFilterPromises) {
  const UserFilter filter({900, 1100, 60}, 48000);
  for (const double hz : {1000.0, 710.0}) {
    std::vector<float> x = Sine(24000, hz, 1.0);
    filter.Process(x);
    double power = 0;
    for (std::size_t i = 8000; i < x.size(); ++i) power += static_cast<double>(x[i]) * x[i];
    EXPECT_NEAR(std::sqrt(power / 16000.0), filter.GainAt(hz), 0.01 * filter.GainAt(hz) + 1e-6) << hz;
  }
}

TEST(MeasurementEngine, LevelIsTheRecordsRmsAndReferenceToneIsFoundThroughTheFilter) {
  const DeviceModel device(ParseDeviceOptions("speed=1.0012"));
  MeasurementEngine engine;
  MeasurementSetup setup;
  setup.user_filter_active = true;
  setup.user_filter = {900, 1100, 60};
  const Measurement filtered = engine.Measure(device, setup, 0);
  EXPECT_NEAR(filtered.frequency_hz[0], 1001.2, 1001.2 * 5e-6);
  // Through the band-pass only the 1 kHz tone is left.
  EXPECT_NEAR(filtered.level_v[0], device.ToneRmsV(Channel::Left, 7), 0.01);

  setup.user_filter_active = false;
  const Measurement open = engine.Measure(device, setup, 1);
  EXPECT_GT(open.level_v[0], 0.7);
  EXPECT_EQ(open.spectrum_v[0].size(), 8192u);
  EXPECT_DOUBLE_EQ(open.bin_width_hz, 2.9296875);
}

TEST(MeasurementEngine, BandLimitKeepsComponentsAboveItOutOfTheSpectrum) {
  // At speed 1.15 the 20 kHz tone is at 23 kHz: inside B44, outside B22.
  const DeviceModel device(ParseDeviceOptions("speed=1.15,thd=0"));
  MeasurementEngine engine;
  MeasurementSetup setup;
  const std::size_t bin = static_cast<std::size_t>(std::lround(23000 / 2.9296875));
  setup.band_limit_hz = MeasurementEngine::BandLimitHz(BandMode::B44);
  EXPECT_GT(engine.Measure(device, setup, 0).spectrum_v[0][bin], 0.1f);
  setup.band_limit_hz = MeasurementEngine::BandLimitHz(BandMode::B22);
  EXPECT_LT(engine.Measure(device, setup, 0).spectrum_v[0][bin], 1e-4f);
}

TEST(MeasurementEngine, FftSizeSetsTheNumberOfBins) {
  const DeviceModel device{DeviceOptions()};
  MeasurementEngine engine;
  MeasurementSetup setup;
  for (const int size : {4096, 8192, 16384, 32768}) {
    setup.fft_size = size;
    EXPECT_EQ(engine.Measure(device, setup, 0).spectrum_v[1].size(), static_cast<std::size_t>(size / 2));
  }
}

}  // namespace
}  // namespace multitone::sim
