#pragma once
// Shared by the simulated analyzer's tests: an interpreter on a fresh
// instrument driven with strings, and the command texts of a complete run.
#include <string>
#include <string_view>
#include <vector>

#include "sim/instrument.h"
#include "sim/interpreter.h"

namespace multitone::sim::testing {

class Session {
 public:
  explicit Session(const DeviceOptions& device = DeviceOptions()) : instrument_(device), interpreter_(instrument_) {}

  // Sends the bytes as they are; returns the replies they caused, LF included.
  std::vector<std::string> Input(std::string_view bytes) {
    interpreter_.Input(bytes);
    std::vector<std::string> replies;
    while (auto reply = interpreter_.TakeReply()) replies.push_back(*reply);
    return replies;
  }
  // One line; its single reply without the LF ("" when there was none).
  std::string Ask(std::string_view line) {
    const std::vector<std::string> replies = Input(std::string(line) + "\n");
    if (replies.empty()) return "";
    std::string reply = replies.back();
    if (!reply.empty() && reply.back() == '\n') reply.pop_back();
    return reply;
  }
  // Drains the error queue: the answers before 0,"No error".
  std::vector<std::string> Errors() {
    std::vector<std::string> errors;
    for (int i = 0; i < 100; ++i) {
      const std::string answer = Ask("SYST:ERR?");
      if (answer == "0,\"No error\"") break;
      errors.push_back(answer);
    }
    return errors;
  }
  Instrument& GetInstrument() { return instrument_; }
  Interpreter& GetInterpreter() { return interpreter_; }

 private:
  Instrument instrument_;
  Interpreter interpreter_;
};

// The error code at the start of a SYST:ERR? answer.
inline int ErrorCode(const std::string& answer) { return std::stoi(answer); }

// Every text a complete run sends, exactly as it sends it (worked values).
inline std::vector<std::string> RunCommandTexts() {
  return {
      "DISP:FFT:A:UNIT:TRAC ON",
      "DISP:FFT:B:UNIT:TRAC ON",
      "SENS:UNIT?",
      "SENS:UNIT V",
      "SENS:UNIT2?",
      "SENS:UNIT2 V",
      "sens:func:fft:wind?",
      "sens:func:fft:wind flat",
      "sens:func:fft:size?",
      "sens:func:fft:size S16K",
      "inp:band:mode?",
      "inp:band:mode B22",
      "SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ;:SENS:UFIL:PASS:UPP 1100 HZ;:SENS:UFIL:ATT 60 DB",
      "INP:FILT UFIL1",
      "init:cont off;*wai",
      "sens3:data?",
      "INP:FILT OFF",
      "init:cont off;*wai",
      "sens:data?",
      "sens:data2?",
      "form real",
      "trac:load:fft_ay?",
      "form real",
      "trac:load:fft_by?",
      "syst:mem:str1 '-.120000000000009 %'",
      "syst:mem:str2 ' .7746 V, .7739 V'",
      "syst:mem:str3 ' .19364 V, .19347 V'",
      "syst:mem:str4 ' .0316227766016838 %, 0 %'",
      "syst:mem:str5 '-75.6904107283401 dB,-78.524332203472 dB'",
      "syst:mem:str6 ' 240 dB,-61.3 dB'",
      "syst:mem:str7 ' 1.23456789E-05 V, .000987654321 V'",
      "syst:mem:str8 ' 95.9512503096159 dB, 240 dB'",
      "DISP:SWE:X:SOUR MAN;:DISP:SWE:X:SCAL MAN;:DISP:SWE:X:LEFT  30.036 HZ;:DISP:SWE:X:RIGH  20024 HZ",
      "DISP:SWE:A:REF:VAL  .19364 V",
      "DISP:SWE:B:REF:VAL  .19347 V",
      "trac:swe:store:ax  30.036, 70.084, 100.12, 230.276, 480.576, 710.852, 1001.2, 1551.86, 2603.12, "
      "4405.28, 7108.52, 9911.88, 12014.4, 15018, 18021.6, 20024",
      "trac:swe:store:ay -12.0411998265592,-6.02059991327962, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,-240",
      "trac:swe:store:bx  30.036, 70.084, 130.156, 230.276, 480.576, 710.852, 1001.2, 1551.86, 2603.12, "
      "4405.28, 7108.52, 10112.12, 12014.4, 15018, 18021.6, 20024",
      "trac:swe:store:by  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0",
      "syst:disp:expl:show 'x=381,y=296,w=259,h=142'",
      "syst:disp:expl:text '<table cellspacing=0 cellpadding=-1><tr><td><b>Measurement Results  </td><td><b>Left"
      "</td><td><b>Right</td></tr><tr><td>Pitch Error / %</td><td>-.12</td></tr><tr><td>Total Level / V</td>"
      "<td> .775</td><td> .774</td></tr><tr><td>Reference @ 1kHz / V</td><td> .1936</td><td> .1935</td></tr>"
      "<tr><td>Distortion / %</td><td> .0316</td><td> 0</td></tr><tr><td>Crosstalk / dB @100Hz </td><td>-75.7"
      "</td><td>-78.5</td></tr><tr><td>Crosstalk / dB @10kHz </td><td> 240</td><td>-61.3</td></tr><tr><td>"
      "S/N / dB</td><td> 96</td><td> 240</td></tr></table>'",
      "syst:mem:str24?",
      "syst:mem:str8?",
      "form asc",
      "INIT",
  };
}

}  // namespace multitone::sim::testing
