#pragma once
// The steps of the run that only compute, on the tone plan and the two
// spectra: noise-bin masks, per-tone results, distortion and noise. They
// send nothing to the analyzer.
#include "record/measurement_record.h"

namespace multitone {

// Marks, per channel, every bin that must not count as noise: outside the
// band, near the channel's own tones, near the harmonics of the 1 kHz tone.
void BuildNoiseMasks(MeasurementRecord& record);
// Tone levels, crosstalk, frequency response and the two response lists.
void ComputeToneResults(MeasurementRecord& record);
// Distortion of the 1 kHz tone, noise level and signal-to-noise per channel.
void ComputeDistortionAndNoise(MeasurementRecord& record);

}  // namespace multitone
