#include "run/run_measurement.h"
#include "common/plain_number_text.h"
#include "record/idioms.h"

namespace multitone {

void FinishRun(MeasurementRecord& record) {
  // ToneCount + 8 as a 16-bit sum: "syst:mem:str24?". Neither reply is
  // evaluated; the analyzer only has to answer.
  const GeneralValue number = GeneralValue::Int16(record.ToneCount) + GeneralValue::Int16(8);
  Query(record, "syst:mem:str" + WithoutPadding(PlainNumberText(number)) + "?");
  Query(record, "syst:mem:str8?");
  Link(record).Close();
}

}  // namespace multitone
