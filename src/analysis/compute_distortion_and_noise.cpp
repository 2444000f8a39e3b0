#include <cmath>
#include <limits>

#include "analysis/analysis_steps.h"
#include "common/float_check.h"
#include "common/ratio_to_db.h"
#include "common/table_index.h"

namespace multitone {
namespace {

constexpr std::int16_t kNoSignalToNoise = 240;

// A spectrum value squared: widened to 64 bits first, so the square is exact.
double Square(float magnitude) {
  const double wide = magnitude;
  return wide * wide;
}

GeneralValue Distortion(const GeneralValue& harmonic_power, double harmonic_total) {
  if (!(harmonic_total > 0)) return GeneralValue::Int16(0);
  return GeneralValue::Float64(CheckedDivide(std::sqrt(harmonic_power.ToDouble()) * 100,
                                             harmonic_total, "distortion"));
}

GeneralValue SignalToNoise(double total_level, double noise) {
  const bool noise_positive = noise > 0;
  const bool level_positive = total_level > 0;
  if (!(noise_positive && level_positive)) return GeneralValue::Int16(kNoSignalToNoise);
  return GeneralValue::Float64(RatioToDb(CheckedDivide(total_level, noise, "signal-to-noise")));
}

}  // namespace

void ComputeDistortionAndNoise(MeasurementRecord& record) {
  const auto& left = record.SpectrumLeft;
  const auto& right = record.SpectrumRight;

  // Harmonics 2..9 of the left 1 kHz tone, in both channels.
  record.HarmonicPowerLeft = GeneralValue::Int16(0);
  record.HarmonicPowerRight = GeneralValue::Int16(0);
  for (int order = 2; order <= record.HarmonicCount; ++order) {
    const double bin = At(record.HarmonicBin, order, "HarmonicBin").ToDouble();
    record.HarmonicPowerLeft += GeneralValue::Float64(Square(AtBin(left, bin, "SpectrumLeft")));
    record.HarmonicPowerRight += GeneralValue::Float64(Square(AtBin(right, bin, "SpectrumRight")));
  }
  const float fundamental_left = AtBin(left, At(record.ToneBinLeft, 7, "ToneBinLeft"), "SpectrumLeft");
  const float fundamental_right =
      AtBin(right, At(record.ToneBinRight, 7, "ToneBinRight"), "SpectrumRight");
  record.HarmonicTotalLeft =
      std::sqrt((record.HarmonicPowerLeft + GeneralValue::Float64(Square(fundamental_left))).ToDouble());
  record.HarmonicTotalRight =
      std::sqrt((record.HarmonicPowerRight + GeneralValue::Float64(Square(fundamental_right))).ToDouble());
  record.DistortionLeft = Distortion(record.HarmonicPowerLeft, record.HarmonicTotalLeft);
  record.DistortionRight = Distortion(record.HarmonicPowerRight, record.HarmonicTotalRight);

  // Noise: the power of the unmarked bins of the band. The sums start from
  // the 16-bit zero and become 64-bit floats with the first square, so plain
  // double sums in the same order give the same bits; the left count is a
  // 16-bit value that would widen past 32767, the right one would overflow.
  double noise_left = 0.0;
  long long bins_left = 0;
  double noise_right = 0.0;
  long long bins_right = 0;
  if (record.LowerLimitBin <= record.UpperLimitBin) {
    const std::int32_t first = ToInt32(record.LowerLimitBin);
    const std::int32_t last = ToInt32(record.UpperLimitBin);
    // Every table is read up to `last`: an index outside any of them is the
    // index error before anything is summed.
    (void)At(record.NoiseMaskLeft, first, "NoiseMaskLeft");
    (void)At(record.NoiseMaskLeft, last, "NoiseMaskLeft");
    (void)At(record.NoiseMaskRight, last, "NoiseMaskRight");
    (void)At(left, last, "SpectrumLeft");
    (void)At(right, last, "SpectrumRight");
    for (std::int32_t k = first; k <= last; ++k) {
      const auto i = static_cast<std::size_t>(k);
      if (record.NoiseMaskLeft[i] == 0) {
        noise_left += Square(left[i]);
        ++bins_left;
      }
      if (record.NoiseMaskRight[i] == 0) {
        noise_right += Square(right[i]);
        ++bins_right;
      }
    }
  }
  if (bins_right > std::numeric_limits<std::int16_t>::max()) {
    throw RunError(ErrorNumber::Overflow, "NoiseBinsRight exceeds a 16-bit integer");
  }
  record.NoiseLeft = bins_left > 0 ? GeneralValue::Float64(noise_left) : GeneralValue::Int16(0);
  record.NoiseBinsLeft = bins_left <= std::numeric_limits<std::int16_t>::max()
                             ? GeneralValue::Int16(static_cast<std::int16_t>(bins_left))
                             : GeneralValue::Int32(static_cast<std::int32_t>(bins_left));
  record.NoiseRight = noise_right;
  record.NoiseBinsRight = static_cast<std::int16_t>(bins_right);

  // The mean power of an unmarked bin, scaled to the band's width
  // (UpperLimitBin - LowerLimitBin), as a level, corrected for the window.
  const double band = record.UpperLimitBin - record.LowerLimitBin;
  const double mean_left = CheckedDivide(band * record.NoiseLeft.ToDouble(),
                                         record.NoiseBinsLeft.ToDouble(), "NoiseLeft");
  record.NoiseLeft = GeneralValue::Float64(
      CheckedDivide(std::sqrt(mean_left), record.NoiseCorrection, "NoiseLeft"));
  const double mean_right = CheckedDivide(band * record.NoiseRight,
                                          static_cast<double>(record.NoiseBinsRight), "NoiseRight");
  record.NoiseRight = CheckedDivide(std::sqrt(mean_right), record.NoiseCorrection, "NoiseRight");

  record.SignalToNoiseLeft = SignalToNoise(record.TotalLevelLeft, record.NoiseLeft.ToDouble());
  record.SignalToNoiseRight = SignalToNoise(record.TotalLevelRight, record.NoiseRight);
}

}  // namespace multitone
