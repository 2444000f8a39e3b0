#include "write_back/write_back_steps.h"

namespace multitone {

double PitchErrorPercent(const MeasurementRecord& record) {
  return (1 - record.PitchFactor) * 100;
}

}  // namespace multitone
