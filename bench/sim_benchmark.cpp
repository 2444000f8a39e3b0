// One simulated measurement: both channels synthesised, band-limited,
// filtered, transformed, with levels and frequencies. The real acquisition
// it stands for takes 16384 / 48000 s = 341 ms.
#include <benchmark/benchmark.h>

#include "sim/device_model.h"
#include "sim/measurement_engine.h"

namespace multitone::sim {
namespace {

void Acquire(benchmark::State& state, bool band_pass) {
  const DeviceModel device{DeviceOptions{}};
  MeasurementEngine engine;
  MeasurementSetup setup;
  setup.user_filter_active = band_pass;
  setup.user_filter.lower_hz = 900;
  setup.user_filter.upper_hz = 1100;
  setup.user_filter.attenuation_db = 60;
  std::uint64_t acquisition = 0;
  for (auto _ : state) {
    sim::Measurement result = engine.Measure(device, setup, acquisition++);
    benchmark::DoNotOptimize(result.spectrum_v[0].data());
  }
}

void MultitoneSpectrum(benchmark::State& state) { Acquire(state, false); }
BENCHMARK(MultitoneSpectrum)->Unit(benchmark::kMillisecond);

void ReferenceToneThroughBandPass(benchmark::State& state) { Acquire(state, true); }
BENCHMARK(ReferenceToneThroughBandPass)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace multitone::sim

BENCHMARK_MAIN();
