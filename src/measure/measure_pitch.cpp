#include "common/float_check.h"
#include "common/leading_number_value.h"
#include "record/idioms.h"
#include "measure/measure_steps.h"

namespace multitone {

void MeasurePitch(MeasurementRecord& record) {
  Link(record).Write(
      "SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ;:SENS:UFIL:PASS:UPP 1100 HZ;:SENS:UFIL:ATT 60 DB");
  Link(record).Write("INP:FILT UFIL1");
  Link(record).Write("init:cont off;*wai");
  Query(record, "sens3:data?");
  // No plausibility test here: a reply that is not a number gives 0, and the
  // noise masks stop the run at their index limit.
  record.ReferenceReadingHz = LeadingNumberValue(record.LastResponse);
  record.PitchFactor = CheckedDivide(record.ReferenceReadingHz, 1000.0, "PitchFactor");
  Link(record).Write("INP:FILT OFF");
}

}  // namespace multitone
