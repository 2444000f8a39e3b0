#include <cmath>

#include "common/float_check.h"
#include "common/plain_number_text.h"
#include "common/table_index.h"
#include "measure/measure_steps.h"

namespace multitone {
namespace {

// A frequency's bin: Int(f / BinWidth + 0.5), rounding toward minus infinity,
// so a frequency half-way between two bins goes to the upper one.
double BinOf(double frequency, double bin_width) {
  return std::floor(frequency / bin_width + 0.5);
}

}  // namespace

void BuildTonePlan(MeasurementRecord& record) {
  record.FreqListLeft.clear();
  record.FreqListRight.clear();
  const GeneralValue pitch = GeneralValue::Float64(record.PitchFactor);

  const int tones = record.ToneCount;
  for (int w = 1; w <= tones; ++w) {
    // Left: a 64-bit product, kept as a 64-bit float from now on.
    GeneralValue& left = At(record.ToneFreqLeft, w, "ToneFreqLeft");
    left = pitch * left;
    // Right: the product is formed in 64 bits and stored rounded to 32 bits.
    float& right = At(record.ToneFreqRight, w, "ToneFreqRight");
    right = RoundToFloat32(record.PitchFactor * static_cast<double>(right), "ToneFreqRight");

    At(record.ToneBinLeft, w, "ToneBinLeft") = BinOf(left.ToDouble(), record.BinWidth);
    At(record.ToneBinRight, w, "ToneBinRight") = BinOf(right, record.BinWidth);

    record.FreqListLeft += PlainNumberText(left);
    record.FreqListRight += PlainNumberText(right);
    if (w < tones) {
      record.FreqListLeft += ',';
      record.FreqListRight += ',';
    }
  }

  // Harmonics of the corrected left 1 kHz tone; they serve both channels.
  const GeneralValue& reference = At(record.ToneFreqLeft, 7, "ToneFreqLeft");
  for (int h = 2; h <= record.HarmonicCount; ++h) {
    const GeneralValue product = reference * GeneralValue::Int16(static_cast<std::int16_t>(h));
    At(record.HarmonicBin, h, "HarmonicBin") =
        GeneralValue::Float64(BinOf(product.ToDouble(), record.BinWidth));
  }

  record.LowerLimitBin = BinOf(record.LowerLimitHz, record.BinWidth);
  record.UpperLimitBin = BinOf(record.UpperLimitHz, record.BinWidth);
}

}  // namespace multitone
