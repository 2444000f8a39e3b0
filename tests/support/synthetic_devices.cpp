#include "support/synthetic_devices.h"

#include <cmath>

namespace multitone::testing {
namespace {

constexpr double kPitchFactor = 1.0012;  // the reply "1.00120000E+03" / 1000
constexpr double kBinWidth = 2.9296875;
constexpr double kLeftHz[16] = {30,   70,   100,  230,  480,   710,   1000,  1550,
                                2600, 4400, 7100, 9900, 12000, 15000, 18000, 20000};
constexpr double kRightHz[16] = {30,   70,   130,   230,   480,   710,   1000,  1550,
                                 2600, 4400, 7100, 10100, 12000, 15000, 18000, 20000};

std::size_t LeftBin(int tone) {
  return static_cast<std::size_t>(std::floor(kPitchFactor * kLeftHz[tone - 1] / kBinWidth + 0.5));
}
std::size_t RightBin(int tone) {
  const float hz = static_cast<float>(kPitchFactor * kRightHz[tone - 1]);
  return static_cast<std::size_t>(std::floor(static_cast<double>(hz) / kBinWidth + 0.5));
}
std::size_t HarmonicBin(int order) {
  return static_cast<std::size_t>(std::floor(kPitchFactor * 1000 * order / kBinWidth + 0.5));
}

// A noise floor that varies from bin to bin, the same in every language.
std::vector<float> Floor(double level, int multiplier, int modulus) {
  std::vector<float> spectrum(8192);
  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    const double wobble = static_cast<double>((static_cast<long long>(k) * multiplier) % modulus) / modulus;
    spectrum[k] = static_cast<float>(level * (1 + wobble));
  }
  return spectrum;
}

double ToneLevel(double top, int tone) { return top * (1 - 0.004 * std::abs(tone - 7)); }

}  // namespace

AnalyzerScript PlausibleDevice() {
  AnalyzerScript s;
  s.frequency = "1.00120000E+03";
  s.level_left = "7.74600000E-01";
  s.level_right = "7.73900000E-01";
  s.spectrum_left = Floor(1e-5, 7919, 101);
  s.spectrum_right = Floor(2e-5, 104729, 97);
  for (int w = 1; w <= 16; ++w) {
    s.spectrum_left[LeftBin(w)] = static_cast<float>(ToneLevel(0.1936, w));
    s.spectrum_right[RightBin(w)] = static_cast<float>(ToneLevel(0.1935, w));
  }
  // Crosstalk where only the other channel plays a tone.
  for (const int w : {3, 12}) {
    s.spectrum_right[LeftBin(w)] = static_cast<float>(ToneLevel(0.1936, w) * std::pow(10.0, -75.0 / 20));
    s.spectrum_left[RightBin(w)] = static_cast<float>(ToneLevel(0.1935, w) * std::pow(10.0, -78.0 / 20));
  }
  for (int h = 2; h <= 9; ++h) {
    s.spectrum_left[HarmonicBin(h)] = static_cast<float>(0.1936 * 0.0003 / h);
    s.spectrum_right[HarmonicBin(h)] = static_cast<float>(0.1935 * 0.0002 / h);
  }
  s.memory_24 = "\"\"";
  s.memory_8 = "\" 95.9512503096159 dB, 240 dB\"";
  return s;
}

AnalyzerScript DeadRightDevice() {
  AnalyzerScript s = PlausibleDevice();
  s.level_right = "0.00000000E+00";
  s.spectrum_right.assign(8192, 0.0f);
  return s;
}

}  // namespace multitone::testing
