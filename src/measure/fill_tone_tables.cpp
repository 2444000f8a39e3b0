#include <array>
#include <cstdint>

#include "common/table_index.h"
#include "measure/steps.h"

namespace multitone {
namespace {

// Nominal frequencies in Hz, tone 1 to 16. The channels differ only at tone 3
// and tone 12, where each channel's tone falls on a bin the other channel
// leaves empty: that is where crosstalk is read.
constexpr std::array<std::int16_t, 16> kLeftTonesHz = {
    30, 70, 100, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 9900, 12000, 15000, 18000, 20000};
constexpr std::array<float, 16> kRightTonesHz = {
    30, 70, 130, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 10100, 12000, 15000, 18000, 20000};

}  // namespace

void FillToneTables(MeasurementRecord& record) {
  for (std::size_t i = 0; i < kLeftTonesHz.size(); ++i) {
    const long long tone = static_cast<long long>(i) + 1;
    At(record.ToneFreqLeft, tone, "ToneFreqLeft") = GeneralValue::Int16(kLeftTonesHz[i]);
    At(record.ToneFreqRight, tone, "ToneFreqRight") = kRightTonesHz[i];
  }
}

}  // namespace multitone
