#include "common/plain_number_text.h"
#include "common/table_index.h"
#include "record/idioms.h"
#include "write_back/write_back_steps.h"

namespace multitone {

void DrawResponseGraph(MeasurementRecord& record) {
  // Both axis limits come from the left tone table. The literal parts end in
  // a blank and the numbers bring their own, hence two blanks before each.
  Link(record).Write("DISP:SWE:X:SOUR MAN;:DISP:SWE:X:SCAL MAN;:DISP:SWE:X:LEFT " +
                     PlainNumberText(At(record.ToneFreqLeft, 1, "ToneFreqLeft")) +
                     " HZ;:DISP:SWE:X:RIGH " +
                     PlainNumberText(At(record.ToneFreqLeft, record.ToneCount, "ToneFreqLeft")) +
                     " HZ");
  Link(record).Write("DISP:SWE:A:REF:VAL " + PlainNumberText(record.RefLevelLeft) + " V");
  Link(record).Write("DISP:SWE:B:REF:VAL " + PlainNumberText(record.RefLevelRight) + " V");
  Link(record).Write("trac:swe:store:ax " + record.FreqListLeft);
  Link(record).Write("trac:swe:store:ay " + record.ResponseListLeft);
  Link(record).Write("trac:swe:store:bx " + record.FreqListRight);
  Link(record).Write("trac:swe:store:by " + record.ResponseListRight);
}

}  // namespace multitone
