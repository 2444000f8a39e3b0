#include "support/run_script.h"

namespace multitone::testing {

void Apply(const AnalyzerScript& s, ScriptedAnalyzer& analyzer) {
  analyzer.Answer("SENS:UNIT?", s.unit_left);
  analyzer.Answer("SENS:UNIT2?", s.unit_right);
  analyzer.Answer("sens:func:fft:wind?", s.window);
  analyzer.Answer("sens:func:fft:size?", s.fft_size);
  analyzer.Answer("inp:band:mode?", s.band_mode);
  analyzer.Answer("sens3:data?", s.frequency);
  analyzer.Answer("sens:data?", s.level_left);
  analyzer.Answer("sens:data2?", s.level_right);
  analyzer.AnswerBlock("trac:load:fft_ay?", s.spectrum_left);
  analyzer.AnswerBlock("trac:load:fft_by?", s.spectrum_right);
  analyzer.Answer("syst:mem:str24?", s.memory_24);
  analyzer.Answer("syst:mem:str8?", s.memory_8);
}

std::vector<std::string> ConfigurationAndPitchTexts() {
  return {
      "DISP:FFT:A:UNIT:TRAC ON",
      "DISP:FFT:B:UNIT:TRAC ON",
      "SENS:UNIT?",
      "SENS:UNIT2?",
      "sens:func:fft:wind?",
      "sens:func:fft:size?",
      "inp:band:mode?",
      "SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ;:SENS:UFIL:PASS:UPP 1100 HZ;:SENS:UFIL:ATT 60 DB",
      "INP:FILT UFIL1",
      "init:cont off;*wai",
      "sens3:data?",
      "INP:FILT OFF",
  };
}

}  // namespace multitone::testing
