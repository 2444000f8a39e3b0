#pragma once
// The simulated analyzer as one object: the instrument with its device and
// the interpreter in front of it. Both front doors (the embedded analyzer of
// multitone and the analyzer-sim server) hold one of these.
#include "sim/device_options.h"
#include "sim/instrument.h"
#include "sim/interpreter.h"

namespace multitone::sim {

class SimulatedAnalyzer {
 public:
  explicit SimulatedAnalyzer(const DeviceOptions& device) : instrument_(device), interpreter_(instrument_) {}
  SimulatedAnalyzer(const SimulatedAnalyzer&) = delete;
  SimulatedAnalyzer& operator=(const SimulatedAnalyzer&) = delete;

  Instrument& GetInstrument() { return instrument_; }
  const Instrument& GetInstrument() const { return instrument_; }
  Interpreter& GetInterpreter() { return interpreter_; }

 private:
  Instrument instrument_;
  Interpreter interpreter_;
};

}  // namespace multitone::sim
