#include "common/plain_number_text.h"
#include "common/table_index.h"
#include "record/idioms.h"
#include "write_back/write_back_steps.h"

namespace multitone {
namespace {

// "syst:mem:strN '" followed by the values and their units, then "'". The
// number follows "syst:mem:str" directly; each value brings its own leading
// blank or minus, so nothing is put after the comma between left and right.
void WriteMemoryString(MeasurementRecord& record, std::int16_t number, std::string_view contents) {
  Link(record).Write("syst:mem:str" + WithoutPadding(PlainNumberText(std::int32_t{number})) + " '" +
                     std::string(contents) + "'");
}

std::string Pair(const std::string& left, const std::string& right, std::string_view unit) {
  return left + std::string(unit) + "," + right + std::string(unit);
}

}  // namespace

void WriteResultStrings(MeasurementRecord& record) {
  WriteMemoryString(record, 1, PlainNumberText(PitchErrorPercent(record)) + " %");
  WriteMemoryString(record, 2, Pair(PlainNumberText(record.TotalLevelLeft),
                                    PlainNumberText(record.TotalLevelRight), " V"));
  WriteMemoryString(record, 3, Pair(PlainNumberText(record.RefLevelLeft),
                                    PlainNumberText(record.RefLevelRight), " V"));
  WriteMemoryString(record, 4, Pair(PlainNumberText(record.DistortionLeft),
                                    PlainNumberText(record.DistortionRight), " %"));
  // Crosstalk at tone 3 (100 Hz / 130 Hz) and tone 12 (9900 Hz / 10100 Hz).
  for (const std::int16_t tone : {3, 12}) {
    WriteMemoryString(record, tone == 3 ? 5 : 6,
                      Pair(PlainNumberText(At(record.CrosstalkLeft, tone, "CrosstalkLeft")),
                           PlainNumberText(At(record.CrosstalkRight, tone, "CrosstalkRight")),
                           " dB"));
  }
  WriteMemoryString(record, 7, Pair(PlainNumberText(record.NoiseLeft),
                                    PlainNumberText(record.NoiseRight), " V"));
  WriteMemoryString(record, 8, Pair(PlainNumberText(record.SignalToNoiseLeft),
                                    PlainNumberText(record.SignalToNoiseRight), " dB"));
}

}  // namespace multitone
