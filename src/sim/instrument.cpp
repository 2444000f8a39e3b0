#include "sim/instrument.h"

#include <cmath>

namespace multitone::sim {

double LevelInUnit(double volts, LevelUnit unit) {
  constexpr double kDbuReference = 0.7745966692414834;  // sqrt(0.6) V
  constexpr double kFloorDb = -240;
  switch (unit) {
    case LevelUnit::V: return volts;
    case LevelUnit::DBV: return volts > 0 ? std::max(kFloorDb, 20 * std::log10(volts)) : kFloorDb;
    case LevelUnit::DBU:
      return volts > 0 ? std::max(kFloorDb, 20 * std::log10(volts / kDbuReference)) : kFloorDb;
  }
  return volts;
}

Instrument::Instrument(const DeviceOptions& device) : device_(device) {}

void Instrument::Acquire() {
  const Settings& s = state_.settings;
  MeasurementSetup setup;
  setup.fft_size = s.fft_size;
  setup.window = s.window;
  setup.band_limit_hz = MeasurementEngine::BandLimitHz(s.band);
  setup.user_filter_active = s.input_filter == InputFilter::UserFilter1;
  setup.user_filter = s.user_filter;
  last_ = engine_.Measure(device_, setup, acquisitions_++);
  if (wait_) {
    const double lead = setup.user_filter_active ? MeasurementEngine::kFilterLead : 0;
    wait_((static_cast<double>(setup.fft_size) + lead) / MeasurementEngine::kSampleRateHz);
  }
}

const Measurement& Instrument::Readings() {
  if (state_.settings.continuous || !last_) Acquire();
  return *last_;
}

double Instrument::LevelReading(int input) {
  return LevelInUnit(Readings().level_v[static_cast<std::size_t>(input)],
                     state_.settings.unit[static_cast<std::size_t>(input)]);
}

double Instrument::FrequencyReading(int input) {
  return Readings().frequency_hz[static_cast<std::size_t>(input)];
}

std::vector<float> Instrument::SpectrumReading(int input) {
  const auto channel = static_cast<std::size_t>(input);
  std::vector<float> spectrum = Readings().spectrum_v[channel];
  if (state_.settings.fft_unit_trace[channel] && state_.settings.unit[channel] != LevelUnit::V) {
    for (float& v : spectrum) v = static_cast<float>(LevelInUnit(v, state_.settings.unit[channel]));
  }
  return spectrum;
}

std::vector<float> Instrument::SpectrumFrequencies() {
  const Measurement& m = Readings();
  std::vector<float> hz(m.spectrum_v[0].size());
  for (std::size_t k = 0; k < hz.size(); ++k) hz[k] = static_cast<float>(static_cast<double>(k) * m.bin_width_hz);
  return hz;
}

}  // namespace multitone::sim
