#include "record/idioms.h"
#include "measure/measure_steps.h"

namespace multitone {

void ConfigureFft(MeasurementRecord& record) {
  EnsureSetting(record, "sens:func:fft:wind?", "FLAT", "sens:func:fft:wind flat");
  record.NoiseCorrection = 2.0835;
  record.GuardBins = 10;
  EnsureSetting(record, "sens:func:fft:size?", "S16K", "sens:func:fft:size S16K");
  record.FftSize = 16384;

  // Bins 0 to FftSize / 2: the analyzer fills 0 to 8191, 8192 stays 0.
  const GeneralValue half = GeneralValue::Int16(record.FftSize) / GeneralValue::Int16(2);
  const std::size_t bins = static_cast<std::size_t>(ToInt32(half)) + 1;
  record.NoiseMaskLeft.assign(bins, 0);
  record.NoiseMaskRight.assign(bins, 0);
  record.SpectrumLeft.assign(bins, 0.0f);
  record.SpectrumRight.assign(bins, 0.0f);

  EnsureSetting(record, "inp:band:mode?", "B22", "inp:band:mode B22");
  record.SampleRate = 48000;
  record.BinWidth = static_cast<double>(record.SampleRate) / static_cast<double>(record.FftSize);
}

}  // namespace multitone
