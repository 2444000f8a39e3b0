#include "sim/measurement_engine.h"

#include <cmath>

#include "sim/user_filter.h"

namespace multitone::sim {

double MeasurementEngine::BandLimitHz(BandMode mode) {
  return mode == BandMode::B22 ? 22000.0 : kSampleRateHz / 2;
}

Measurement MeasurementEngine::Measure(const DeviceModel& device, const MeasurementSetup& setup,
                                       std::uint64_t acquisition) {
  const std::size_t size = static_cast<std::size_t>(setup.fft_size);
  const std::size_t lead = setup.user_filter_active ? kFilterLead : 0;
  for (std::vector<float>& input : inputs_) input.assign(lead + size, 0.0f);

  RenderRequest request;
  request.sample_rate_hz = kSampleRateHz;
  request.start_s = static_cast<double>(acquisition) * kAcquisitionSpacingS -
                    static_cast<double>(lead) / kSampleRateHz;
  request.band_limit_hz = setup.band_limit_hz;
  request.noise_period = size;
  request.acquisition = acquisition;
  device.Render(request, workspace_, inputs_[0], inputs_[1]);

  if (setup.user_filter_active) {
    const UserFilter filter(setup.user_filter, kSampleRateHz);
    for (std::vector<float>& input : inputs_) filter.Process(input);
  }

  Measurement result;
  result.bin_width_hz = kSampleRateHz / static_cast<double>(size);
  for (std::size_t c = 0; c < 2; ++c) {
    const std::span<const float> record(inputs_[c].data() + lead, size);
    double power = 0;
    for (const float v : record) power += static_cast<double>(v) * v;
    result.level_v[c] = std::sqrt(power / static_cast<double>(size));
    spectra_.Magnitudes(record, setup.window, result.spectrum_v[c]);
    result.frequency_hz[c] = counter_.Measure(record, kSampleRateHz);
  }
  return result;
}

}  // namespace multitone::sim
