// The number texts per call, so that a slow formatting path cannot hide.
#include <benchmark/benchmark.h>

#include "common/leading_number_value.h"
#include "common/plain_number_text.h"
#include "write_back/rounded_cell_text.h"

namespace multitone {
namespace {

const double kDoubles[] = {-75.69041072834011, 0.0000123456789, 20024.0, 0.031622776601683794,
                           (1 - 1.0012) * 100, 1e15, 95.95125030961586, 0.7746};
const float kFloats[] = {0.19364f, 10094.95f, 0.1f, 129.935f};

void PlainNumberText64(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(PlainNumberText(kDoubles[i++ % std::size(kDoubles)]));
}
BENCHMARK(PlainNumberText64);

void PlainNumberText32(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(PlainNumberText(kFloats[i++ % std::size(kFloats)]));
}
BENCHMARK(PlainNumberText32);

void PlainNumberTextInteger(benchmark::State& state) {
  std::int32_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(PlainNumberText(i++ % 500 - 250));
}
BENCHMARK(PlainNumberTextInteger);

void RoundedCellText64(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        RoundedCellText(GeneralValue::Float64(kDoubles[i++ % std::size(kDoubles)]), "###0.0"));
  }
}
BENCHMARK(RoundedCellText64);

void RoundedCellText32(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        RoundedCellText(GeneralValue::Float32(kFloats[i++ % std::size(kFloats)]), "00.0000"));
  }
}
BENCHMARK(RoundedCellText32);

void LeadingNumberValueReply(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LeadingNumberValue(" 1.00120000E+03\n"));
}
BENCHMARK(LeadingNumberValueReply);

}  // namespace
}  // namespace multitone

BENCHMARK_MAIN();
