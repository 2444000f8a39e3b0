#pragma once
// The run-wide record. Every step reads and writes its fields and nothing
// else; the steps run in a fixed order (run/run_measurement.cpp). All fields
// start empty. A field whose kind changes during the run is a GeneralValue;
// the others have the one fixed type they always hold.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/general_value.h"
#include "link/analyzer_link.h"

namespace multitone {

using AnalyzerFactory = std::function<std::unique_ptr<AnalyzerLink>()>;

struct MeasurementRecord {
  // ---- The link ---------------------------------------------------------
  // How the link comes into being on its first use; throws RunError 429 when
  // it cannot be created. Set by the program before the run starts.
  AnalyzerFactory CreateAnalyzer;
  std::unique_ptr<AnalyzerLink> Analyzer;  // empty until the first operation
  std::string LastResponse;                // reply to the most recent Read

  // ---- Run constants (ConfigureAnalyzer, ConfigureFft) ------------------
  std::int16_t LowerLimitHz = 0;  // 20
  std::int16_t UpperLimitHz = 0;  // 20000
  std::int16_t HarmonicCount = 0; // 9
  std::int16_t ToneCount = 0;     // 16
  double NoiseCorrection = 0;     // 2.0835
  std::int16_t GuardBins = 0;     // 10
  std::int16_t FftSize = 0;       // 16384
  std::int32_t SampleRate = 0;    // 48000
  double BinWidth = 0;            // SampleRate / FftSize = 2.9296875

  // ---- Tone plan (FillToneTables, MeasurePitch, BuildTonePlan) ----------
  // Tables indexed by tone 1..ToneCount; element 0 holds no tone.
  std::vector<GeneralValue> ToneFreqLeft;  // int16 Hz, then float64 once corrected
  std::vector<float> ToneFreqRight;        // float32 Hz, corrected in place
  double ReferenceReadingHz = 0;           // the reference tone's frequency as read
  double PitchFactor = 0;                  // measured reference frequency / 1000
  std::vector<double> ToneBinLeft;         // bin of each corrected tone (whole numbers)
  std::vector<double> ToneBinRight;
  std::vector<GeneralValue> HarmonicBin;   // bins of harmonics 2..HarmonicCount of left tone 7
  double LowerLimitBin = 0;                // 7
  double UpperLimitBin = 0;                // 6827
  std::string FreqListLeft;                // corrected frequencies, comma-separated
  std::string FreqListRight;

  // ---- Spectra and levels (AcquireSpectra) -------------------------------
  double TotalLevelLeft = 0;               // level readings, V
  double TotalLevelRight = 0;
  std::vector<float> SpectrumLeft;         // bins 0..FftSize/2, V
  std::vector<float> SpectrumRight;
  float RefLevelLeft = 0;                  // spectrum at the tone-7 bin, V
  float RefLevelRight = 0;

  // ---- Noise masks (BuildNoiseMasks) --------------------------------------
  // The run's own working tables: 1 marks a bin that must not count as noise.
  std::vector<std::int16_t> NoiseMaskLeft; // bins 0..FftSize/2
  std::vector<std::int16_t> NoiseMaskRight;

  // ---- Tone results (ComputeToneResults) ----------------------------------
  std::vector<float> ToneLevelLeft;          // V
  std::vector<float> ToneLevelRight;
  std::vector<GeneralValue> CrosstalkRight;  // float64 dB, or the int16 240
  std::vector<double> CrosstalkLeft;         // float64 dB, 240.0 when undefined
  std::vector<GeneralValue> ResponseLeft;    // float64 dB, or the int16 -240
  std::vector<GeneralValue> ResponseRight;
  std::string ResponseListLeft;              // responses, comma-separated
  std::string ResponseListRight;

  // ---- Distortion and noise (ComputeDistortionAndNoise) -------------------
  GeneralValue HarmonicPowerLeft;   // int16 0, then float64 V²
  GeneralValue HarmonicPowerRight;
  double HarmonicTotalLeft = 0;     // V
  double HarmonicTotalRight = 0;
  GeneralValue DistortionLeft;      // float64 %, or the int16 0
  GeneralValue DistortionRight;
  GeneralValue NoiseLeft;           // int16 0, then float64: sum of squares, then V
  double NoiseRight = 0;            // sum of squares, then V
  GeneralValue NoiseBinsLeft;       // int16 count (widens to int32 past 32767)
  std::int16_t NoiseBinsRight = 0;  // int16 count (overflow past 32767)
  GeneralValue SignalToNoiseLeft;   // float64 dB, or the int16 240
  GeneralValue SignalToNoiseRight;

  // ---- Report (ShowResultsTable) ------------------------------------------
  std::string ResultTable;          // the HTML rows of the results table
};

}  // namespace multitone
