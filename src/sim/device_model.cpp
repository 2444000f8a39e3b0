#include "sim/device_model.h"

#include <algorithm>
#include <cmath>

#include "sim/random.h"

namespace multitone::sim {
namespace {

constexpr std::array<double, DeviceModel::kToneCount> kLeftTonesHz = {
    30, 70, 100, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 9900, 12000, 15000, 18000, 20000};
constexpr std::array<double, DeviceModel::kToneCount> kRightTonesHz = {
    30, 70, 130, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 10100, 12000, 15000, 18000, 20000};

// Hum: 50 Hz and its harmonics 2..7, relative amplitudes of a rectifier's
// ripple (odd orders stronger).
constexpr std::array<double, 7> kHumShape = {1.0, 0.3, 0.5, 0.1, 0.2, 0.05, 0.1};

// First-order high-pass (coupling capacitor) and second-order Butterworth
// low-pass (reconstruction filter), corners per channel.
constexpr std::array<double, 2> kHighPassHz = {8.0, 9.0};
constexpr std::array<double, 2> kLowPassHz = {40000.0, 38000.0};

int Index(Channel channel) { return static_cast<int>(channel); }

}  // namespace

const std::array<double, DeviceModel::kToneCount>& DeviceModel::NominalTonesHz(Channel channel) {
  return channel == Channel::Left ? kLeftTonesHz : kRightTonesHz;
}

double DeviceModel::ResponseDb(Channel channel, double hz) {
  const double high = kHighPassHz[static_cast<std::size_t>(Index(channel))] / hz;
  const double low = hz / kLowPassHz[static_cast<std::size_t>(Index(channel))];
  return -10.0 * std::log10(1.0 + high * high) - 10.0 * std::log10(1.0 + low * low * low * low);
}

DeviceModel::DeviceModel(const DeviceOptions& options) : options_(options) {
  // Harmonic amplitudes fall as 1/h; scaled so their RMS sum is thd.
  double sum = 0;
  for (int h = 2; h <= kHighestHarmonic; ++h) sum += 1.0 / (h * h);
  for (int h = 2; h <= kHighestHarmonic; ++h) {
    harmonic_ratio_[static_cast<std::size_t>(h)] = options.thd_percent / 100.0 / h / std::sqrt(sum);
  }

  Random random(options.seed);
  for (const Channel channel : {Channel::Left, Channel::Right}) {
    std::vector<Sinusoid>& list = multitone_[static_cast<std::size_t>(Index(channel))];
    for (int tone = 1; tone <= kToneCount; ++tone) {
      const double hz = ToneHz(channel, tone);
      const double rms = ToneRmsV(channel, tone);
      list.push_back({hz, rms, random.Phase()});
      for (int h = 2; h <= kHighestHarmonic; ++h) {
        const double phase = random.Phase();  // drawn always, so thd=0 keeps the tones' phases
        if (harmonic_ratio_[static_cast<std::size_t>(h)] > 0) {
          list.push_back({hz * h, rms * harmonic_ratio_[static_cast<std::size_t>(h)], phase});
        }
      }
    }
  }
  const double hum = HumRmsV();
  for (std::size_t h = 0; h < kHumShape.size(); ++h) {
    const double phase = random.Phase();
    if (hum > 0) hum_.push_back({kHumHz * static_cast<double>(h + 1), hum * kHumShape[h], phase});
  }
}

double DeviceModel::ToneHz(Channel channel, int tone) const {
  return NominalTonesHz(channel)[static_cast<std::size_t>(tone - 1)] * options_.speed;
}

double DeviceModel::ToneRmsV(Channel channel, int tone) const {
  return LevelAtRun(options_) * std::pow(10.0, ResponseDb(channel, ToneHz(channel, tone)) / 20.0);
}

double DeviceModel::HarmonicRatio(int order) const {
  if (order < 2 || order > kHighestHarmonic) return 0;
  return harmonic_ratio_[static_cast<std::size_t>(order)];
}

double DeviceModel::CrosstalkGain() const {
  return std::isinf(options_.crosstalk_db) ? 0.0 : std::pow(10.0, options_.crosstalk_db / 20.0);
}

double DeviceModel::HumRmsV() const {
  return options_.fault == DeviceFault::Hum ? std::max(options_.hum_v, kFaultHumV) : options_.hum_v;
}

double DeviceModel::ClippingRailV() const {
  if (options_.fault != DeviceFault::Clipping) return 0;
  return kClippingCrest * LevelAtRun(options_) * std::sqrt(static_cast<double>(kToneCount));
}

std::span<const Sinusoid> DeviceModel::Multitone(Channel channel) const {
  return multitone_[static_cast<std::size_t>(Index(channel))];
}

void DeviceModel::Render(const RenderRequest& request, RenderWorkspace& workspace, std::span<float> a,
                         std::span<float> b) const {
  const std::size_t length = a.size();
  for (const Channel channel : {Channel::Left, Channel::Right}) {
    std::vector<float>& own = workspace.own[static_cast<std::size_t>(Index(channel))];
    own.assign(length, 0.0f);
    workspace.oscillators.Add(Multitone(channel), request.start_s, request.sample_rate_hz,
                              request.band_limit_hz, own);
  }
  const float crosstalk = static_cast<float>(CrosstalkGain());
  const std::array<std::span<float>, 2> out = {a, b};
  const float rail = static_cast<float>(ClippingRailV());
  for (std::size_t c = 0; c < 2; ++c) {
    // Output c is routed to analyzer input c, or to the other one when the
    // cables are swapped.
    std::span<float> target = out[options_.fault == DeviceFault::Swapped ? 1 - c : c];
    const bool dead = (c == 0 && options_.fault == DeviceFault::DeadLeft) ||
                      (c == 1 && options_.fault == DeviceFault::DeadRight);
    if (dead) {
      std::fill(target.begin(), target.end(), 0.0f);
      continue;
    }
    const std::vector<float>& own = workspace.own[c];
    const std::vector<float>& other = workspace.own[1 - c];
    for (std::size_t n = 0; n < length; ++n) target[n] = own[n] + crosstalk * other[n];
    workspace.noise.Add(options_.noise_v, kNoiseLowHz, std::min(kNoiseHighHz, request.band_limit_hz),
                        request.sample_rate_hz, request.noise_period,
                        Random::Key(options_.seed, request.acquisition, c + 1), target);
    workspace.oscillators.Add(hum_, request.start_s, request.sample_rate_hz, request.band_limit_hz,
                              target);
    if (rail > 0) {
      for (float& v : target) v = std::clamp(v, -rail, rail);
    }
  }
}

}  // namespace multitone::sim
