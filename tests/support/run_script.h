#pragma once
// A scripted analyzer that answers every query of a complete run, built from
// the replies a test chooses (defaults: an analyzer already in the required
// state, a device at nominal speed, flat spectra of zeros).
#include <string>
#include <vector>

#include "support/scripted_analyzer.h"

namespace multitone::testing {

struct AnalyzerScript {
  std::string unit_left = "V";
  std::string unit_right = "V";
  std::string window = "FLAT";
  std::string fft_size = "S16K";
  std::string band_mode = "B22";
  std::string frequency = "1000";          // reply to sens3:data?
  std::string level_left = "0.7071";       // reply to sens:data?
  std::string level_right = "0.7071";      // reply to sens:data2?
  std::vector<float> spectrum_left = std::vector<float>(8192, 0.0f);
  std::vector<float> spectrum_right = std::vector<float>(8192, 0.0f);
  std::string memory_24 = "";
  std::string memory_8 = " 95 dB, 96 dB";
};

void Apply(const AnalyzerScript& script, ScriptedAnalyzer& analyzer);

// The texts the configuration and pitch steps send to an analyzer that is
// already in the required state (no set commands).
std::vector<std::string> ConfigurationAndPitchTexts();

}  // namespace multitone::testing
