#include "analysis/steps.h"
#include "common/table_index.h"

namespace multitone {
namespace {

// Marks bins from..to, both included; nothing when from > to. The bounds are
// fixed before the first entry is marked. A bin outside the mask ends the run
// with the index error, so the loop never runs past the table's end.
void Mark(std::vector<std::int16_t>& mask, double from, double to, std::string_view name) {
  for (double bin = from; bin <= to; bin += 1) At(mask, ToInt32(bin), name) = 1;
}

// A tone's window: GuardBins either side, clamped at bin 1 for a tone that
// lies within GuardBins of the bottom of the spectrum.
void MarkTone(std::vector<std::int16_t>& mask, double bin, double guard, std::string_view name) {
  if (bin > guard) Mark(mask, bin - guard, bin + guard, name);
  if (bin <= guard) Mark(mask, 1, bin + guard, name);
}

}  // namespace

void BuildNoiseMasks(MeasurementRecord& record) {
  auto& left = record.NoiseMaskLeft;
  auto& right = record.NoiseMaskRight;
  const double guard = record.GuardBins;

  // Below the band; bin 0 stays unmarked here.
  Mark(left, 1, record.LowerLimitBin, "NoiseMaskLeft");
  Mark(right, 1, record.LowerLimitBin, "NoiseMaskRight");

  // Above the band, up to FftSize / 2 (a floating-point quotient).
  const double half = (GeneralValue::Int16(record.FftSize) / GeneralValue::Int16(2)).ToDouble();
  if (record.UpperLimitBin < half) {
    Mark(left, record.UpperLimitBin, half, "NoiseMaskLeft");
    Mark(right, record.UpperLimitBin, half, "NoiseMaskRight");
  }

  // Each channel's own tones go into its own mask only: a tone of the other
  // channel that this one does not play stays visible as noise (crosstalk).
  for (int tone = 1; tone <= record.ToneCount; ++tone) {
    MarkTone(left, At(record.ToneBinLeft, tone, "ToneBinLeft"), guard, "NoiseMaskLeft");
    MarkTone(right, At(record.ToneBinRight, tone, "ToneBinRight"), guard, "NoiseMaskRight");
  }

  // Harmonics of the 1 kHz tone, in both masks, with no clamp at the bottom.
  for (int order = 2; order <= record.HarmonicCount; ++order) {
    const double bin = At(record.HarmonicBin, order, "HarmonicBin").ToDouble();
    Mark(left, bin - guard, bin + guard, "NoiseMaskLeft");
    Mark(right, bin - guard, bin + guard, "NoiseMaskRight");
  }
}

}  // namespace multitone
