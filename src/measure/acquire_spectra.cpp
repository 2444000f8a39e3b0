#include "common/leading_number_value.h"
#include "common/table_index.h"
#include "record/idioms.h"
#include "measure/measure_steps.h"

namespace multitone {

void AcquireSpectra(MeasurementRecord& record) {
  // One single measurement; both levels and both spectra come from it.
  Link(record).Write("init:cont off;*wai");
  Query(record, "sens:data?");
  record.TotalLevelLeft = LeadingNumberValue(record.LastResponse);
  Query(record, "sens:data2?");
  record.TotalLevelRight = LeadingNumberValue(record.LastResponse);

  // FftSize / 2 is a floating-point quotient (8192.0), handed over as a
  // 32-bit integer count.
  const std::int32_t count =
      ToInt32(GeneralValue::Int16(record.FftSize) / GeneralValue::Int16(2));
  Link(record).Write("form real");
  Link(record).ReadBlock("trac:load:fft_ay?", record.SpectrumLeft, count);
  Link(record).Write("form real");
  Link(record).ReadBlock("trac:load:fft_by?", record.SpectrumRight, count);

  record.ResponseListLeft.clear();
  record.ResponseListRight.clear();

  // The reference levels stay 32-bit floats: their texts show 7 digits.
  record.RefLevelLeft = AtBin(record.SpectrumLeft, At(record.ToneBinLeft, 7, "ToneBinLeft"),
                              "SpectrumLeft");
  record.RefLevelRight = AtBin(record.SpectrumRight, At(record.ToneBinRight, 7, "ToneBinRight"),
                               "SpectrumRight");
}

}  // namespace multitone
