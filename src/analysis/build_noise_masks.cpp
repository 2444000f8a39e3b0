#include "analysis/analysis_steps.h"
#include "common/plain_number_text.h"
#include "common/table_index.h"

namespace multitone {
namespace {

// Names a window for the error report: "window of tone 16 at bin 8185".
struct Window {
  const char* kind;
  int number = 0;
  double bin = 0;

  std::string Text() const {
    if (number == 0) return kind;
    return std::string(kind) + " " + std::to_string(number) + " at bin " +
           WithoutPadding(PlainNumberText(bin));
  }
};

// Marks bins from..to, both included; nothing when from > to. The bounds are
// fixed before the first entry is marked. A bin outside the mask ends the run
// with the index error, so the loop never runs past the table's end.
void Mark(std::vector<std::int16_t>& mask, double from, double to, std::string_view name,
          const Window& window) {
  try {
    for (double bin = from; bin <= to; bin += 1) At(mask, ToInt32(bin), name) = 1;
  } catch (const RunError& error) {
    throw RunError(error.Number(), error.Description() + " (" + window.Text() + ")");
  }
}

// A tone's window: GuardBins either side, clamped at bin 1 for a tone that
// lies within GuardBins of the bottom of the spectrum.
void MarkTone(std::vector<std::int16_t>& mask, int tone, double bin, double guard,
              std::string_view name) {
  const Window window{"window of tone", tone, bin};
  if (bin > guard) Mark(mask, bin - guard, bin + guard, name, window);
  if (bin <= guard) Mark(mask, 1, bin + guard, name, window);
}

void MarkBothMasks(MeasurementRecord& record) {
  auto& left = record.NoiseMaskLeft;
  auto& right = record.NoiseMaskRight;
  const double guard = record.GuardBins;

  // Below the band; bin 0 stays unmarked here.
  Mark(left, 1, record.LowerLimitBin, "NoiseMaskLeft", {"below the band"});
  Mark(right, 1, record.LowerLimitBin, "NoiseMaskRight", {"below the band"});

  // Above the band, up to FftSize / 2 (a floating-point quotient).
  const double half = (GeneralValue::Int16(record.FftSize) / GeneralValue::Int16(2)).ToDouble();
  if (record.UpperLimitBin < half) {
    Mark(left, record.UpperLimitBin, half, "NoiseMaskLeft", {"above the band"});
    Mark(right, record.UpperLimitBin, half, "NoiseMaskRight", {"above the band"});
  }

  // Each channel's own tones go into its own mask only: a tone of the other
  // channel that this one does not play stays visible as noise (crosstalk).
  for (int tone = 1; tone <= record.ToneCount; ++tone) {
    MarkTone(left, tone, At(record.ToneBinLeft, tone, "ToneBinLeft"), guard, "NoiseMaskLeft");
    MarkTone(right, tone, At(record.ToneBinRight, tone, "ToneBinRight"), guard, "NoiseMaskRight");
  }

  // Harmonics of the 1 kHz tone, in both masks, with no clamp at the bottom.
  for (int order = 2; order <= record.HarmonicCount; ++order) {
    const double bin = At(record.HarmonicBin, order, "HarmonicBin").ToDouble();
    const Window window{"window of harmonic", order, bin};
    Mark(left, bin - guard, bin + guard, "NoiseMaskLeft", window);
    Mark(right, bin - guard, bin + guard, "NoiseMaskRight", window);
  }
}

}  // namespace

void BuildNoiseMasks(MeasurementRecord& record) {
  try {
    MarkBothMasks(record);
  } catch (const RunError& error) {
    // A window off the spectrum means the tone plan is far off: say what the
    // reference tone measured, the usual cause.
    throw RunError(error.Number(), error.Description() + "; the 1 kHz reference tone measured " +
                                       WithoutPadding(PlainNumberText(record.PitchFactor * 1000)) + " Hz");
  }
}

}  // namespace multitone
