#pragma once
// The simulated analyzer's instrument: its state, the device at its inputs
// and the measurements it takes. Readings come from the last acquisition; in
// continuous mode every reading takes a new one first.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "sim/device_model.h"
#include "sim/instrument_state.h"
#include "sim/measurement_engine.h"

namespace multitone::sim {

class Instrument {
 public:
  // Called after each acquisition with the time a real one takes, in
  // seconds (analyzer-sim --realtime sleeps there).
  using AcquisitionWait = std::function<void(double seconds)>;

  explicit Instrument(const DeviceOptions& device);

  InstrumentState& State() { return state_; }
  const InstrumentState& State() const { return state_; }
  const DeviceModel& Device() const { return device_; }

  // The settings at power-on (also *RST). Memory strings and display stay.
  static Settings PowerOnSettings() { return Settings(); }
  void ResetSettings() { state_.settings = PowerOnSettings(); }
  void DisplayChanged() { ++state_.display_version; }
  void SetAcquisitionWait(AcquisitionWait wait) { wait_ = std::move(wait); }

  // Takes one acquisition with the present settings.
  void Acquire();
  std::uint64_t Acquisitions() const { return acquisitions_; }
  // The next acquisition is the device's first again (a new session).
  void RestartDeviceClock() { acquisitions_ = 0; }

  // Level of input 0 (A) or 1 (B) in its configured unit.
  double LevelReading(int input);
  // Frequency of input 0 or 1, Hz.
  double FrequencyReading(int input);
  // Spectrum of input 0 or 1: V, or the level unit when its FFT unit trace is on.
  std::vector<float> SpectrumReading(int input);
  // Frequencies of the spectrum's bins, Hz.
  std::vector<float> SpectrumFrequencies();

 private:
  const Measurement& Readings();

  InstrumentState state_;
  DeviceModel device_;
  MeasurementEngine engine_;
  std::optional<Measurement> last_;
  std::uint64_t acquisitions_ = 0;
  AcquisitionWait wait_;
};

// A level in V expressed in `unit` (dBV, dBu: a level of 0 reads -240 dB).
double LevelInUnit(double volts, LevelUnit unit);

}  // namespace multitone::sim
