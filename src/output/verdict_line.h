#pragma once
// The one line a judged run prints on stdout: "PASS SN", "MARGINAL SN: ...",
// "FAIL SN: right signal_to_noise 55.2 dB < 58 dB; ...", "ERROR SN: error
// 440: ...", with " (SIMULATED)" after the serial on the simulated analyzer.
#include <string>

#include "verdict/unit_result.h"

namespace multitone {

std::string VerdictLine(const UnitResult& unit);
// One measurement as the verdict line names it: "right signal_to_noise 55.2
// dB < 58 dB", "left response 15000 Hz not defined".
std::string DescribeMeasurement(const Measurement& m);
// "right signal_to_noise 55.2 dB < 58 dB; left distortion 0.31 % > 0.1 %":
// the measurements with this outcome, as the verdict line names them.
std::string OutcomeSummary(const UnitResult& unit, Outcome outcome);

}  // namespace multitone
