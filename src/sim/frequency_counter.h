#pragma once
// The analyzer's frequency reading: the frequency of the strongest sinusoid
// in a record, found as the peak of the record's DTFT (4-term
// Blackman-Harris window, side lobes below -92 dB): the FFT gives the peak
// bin, Newton steps on |X(w)|^2 refine it to well below 1e-6 of a bin for a
// clean tone. A silent record reads 0 Hz.
#include <span>

#include "sim/spectrum_analyzer.h"

namespace multitone::sim {

class FrequencyCounter {
 public:
  explicit FrequencyCounter(SpectrumAnalyzer& analyzer) : analyzer_(analyzer) {}

  double Measure(std::span<const float> record, double sample_rate_hz);

 private:
  const std::vector<double>& Window(std::size_t size);

  SpectrumAnalyzer& analyzer_;
  std::vector<double> window_;
};

}  // namespace multitone::sim
