#include <array>
#include <cstdint>

#include "common/table_index.h"
#include "measure/nominal_tones.h"
#include "measure/measure_steps.h"

namespace multitone {

void FillToneTables(MeasurementRecord& record) {
  for (std::size_t i = 0; i < kLeftTonesHz.size(); ++i) {
    const long long tone = static_cast<long long>(i) + 1;
    At(record.ToneFreqLeft, tone, "ToneFreqLeft") = GeneralValue::Int16(kLeftTonesHz[i]);
    At(record.ToneFreqRight, tone, "ToneFreqRight") = kRightTonesHz[i];
  }
}

}  // namespace multitone
