#pragma once
// The steps of the run that talk to the analyzer to set it up and measure:
// configuration, the tone plan with its pitch correction, and the spectrum
// acquisition. Each reads and writes only the record.
#include "record/measurement_record.h"

namespace multitone {

// Constants of the band and harmonics, Initialize of the link, FFT unit
// traces, level units of both channels, tone count and per-tone tables.
void ConfigureAnalyzer(MeasurementRecord& record);
// The nominal tone frequencies of both channels.
void FillToneTables(MeasurementRecord& record);
// FFT window, noise constants, FFT size, spectrum and mask arrays, band
// mode, sample rate and bin width.
void ConfigureFft(MeasurementRecord& record);
// The reference tone's frequency through a 900-1100 Hz band-pass: PitchFactor.
void MeasurePitch(MeasurementRecord& record);
// Pitch-corrected tone frequencies, their bins and frequency lists, the
// harmonic bins of the 1 kHz tone and the band-limit bins.
void BuildTonePlan(MeasurementRecord& record);
// One single measurement: both level readings, both spectra, the 1 kHz
// reference levels.
void AcquireSpectra(MeasurementRecord& record);

}  // namespace multitone
