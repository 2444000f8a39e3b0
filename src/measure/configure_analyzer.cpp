#include "record/idioms.h"
#include "measure/measure_steps.h"

namespace multitone {

void ConfigureAnalyzer(MeasurementRecord& record) {
  record.LowerLimitHz = 20;
  record.UpperLimitHz = 20000;
  record.HarmonicCount = 9;

  // The first operation of the run: it creates the link as well.
  Link(record).Initialize("selfadjustment");
  Link(record).Write("DISP:FFT:A:UNIT:TRAC ON");
  Link(record).Write("DISP:FFT:B:UNIT:TRAC ON");
  EnsureSetting(record, "SENS:UNIT?", "V", "SENS:UNIT V");
  EnsureSetting(record, "SENS:UNIT2?", "V", "SENS:UNIT2 V");

  record.ToneCount = 16;
  const std::size_t tones = static_cast<std::size_t>(record.ToneCount) + 1;  // element 0 unused
  record.ToneFreqLeft.assign(tones, GeneralValue());
  record.ToneFreqRight.assign(tones, 0.0f);
  record.ToneBinLeft.assign(tones, 0.0);
  record.ToneBinRight.assign(tones, 0.0);
  record.ToneLevelLeft.assign(tones, 0.0f);
  record.ToneLevelRight.assign(tones, 0.0f);
  record.CrosstalkRight.assign(tones, GeneralValue());
  record.CrosstalkLeft.assign(tones, 0.0);
  record.ResponseLeft.assign(tones, GeneralValue());
  record.ResponseRight.assign(tones, GeneralValue());
  record.HarmonicBin.assign(static_cast<std::size_t>(record.HarmonicCount) + 1, GeneralValue());
}

}  // namespace multitone
