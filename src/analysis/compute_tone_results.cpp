#include <optional>

#include "analysis/analysis_steps.h"
#include "common/float_check.h"
#include "common/plain_number_text.h"
#include "common/ratio_to_db.h"
#include "common/table_index.h"

namespace multitone {
namespace {

constexpr std::int16_t kNoCrosstalk = 240;
constexpr std::int16_t kResponseFloor = -240;

// The other channel's magnitude at a tone's bin relative to the tone's own,
// in dB; the quotient stays in 64 bits. nullopt when either is not above 0.
std::optional<double> CrosstalkDb(float own, float other) {
  if (!(own > 0 && other > 0)) return std::nullopt;
  return RatioToDb(CheckedDivide(static_cast<double>(other), static_cast<double>(own),
                                 "crosstalk quotient"));
}

// A tone's level relative to its channel's 1 kHz level, in dB, with a floor
// of -240. The quotient of the two 32-bit levels is itself rounded to 32
// bits before the logarithm.
GeneralValue ResponseDb(float tone_level, float reference) {
  if (!(reference > 0 && tone_level > 0)) return GeneralValue::Int16(kResponseFloor);
  const float q = CheckedDivide(tone_level, reference, "response quotient");
  // A quotient that underflows to 0 lies far below the floor.
  if (!(q > 0)) return GeneralValue::Int16(kResponseFloor);
  const double db = RatioToDb(q);
  if (db < kResponseFloor) return GeneralValue::Int16(kResponseFloor);
  return GeneralValue::Float64(db);
}

void AppendToList(std::string& list, const GeneralValue& value, bool last) {
  list += PlainNumberText(value);
  if (!last) list += ',';
}

}  // namespace

void ComputeToneResults(MeasurementRecord& record) {
  const auto& left = record.SpectrumLeft;
  const auto& right = record.SpectrumRight;
  const int tones = record.ToneCount;
  for (int w = 1; w <= tones; ++w) {
    const double left_bin = At(record.ToneBinLeft, w, "ToneBinLeft");
    const double right_bin = At(record.ToneBinRight, w, "ToneBinRight");
    const float tone_left = AtBin(left, left_bin, "SpectrumLeft");
    const float tone_right = AtBin(right, right_bin, "SpectrumRight");
    At(record.ToneLevelLeft, w, "ToneLevelLeft") = tone_left;
    At(record.ToneLevelRight, w, "ToneLevelRight") = tone_right;

    // Crosstalk into the right channel at the left tone's bin, and into the
    // left channel at the right tone's bin; 240 where it cannot be formed.
    const auto into_right = CrosstalkDb(tone_left, AtBin(right, left_bin, "SpectrumRight"));
    At(record.CrosstalkRight, w, "CrosstalkRight") =
        into_right ? GeneralValue::Float64(*into_right) : GeneralValue::Int16(kNoCrosstalk);
    const auto into_left = CrosstalkDb(tone_right, AtBin(left, right_bin, "SpectrumLeft"));
    At(record.CrosstalkLeft, w, "CrosstalkLeft") = into_left ? *into_left : 240.0;

    const bool last = w == tones;
    GeneralValue& response_left = At(record.ResponseLeft, w, "ResponseLeft");
    response_left = ResponseDb(tone_left, record.RefLevelLeft);
    AppendToList(record.ResponseListLeft, response_left, last);
    GeneralValue& response_right = At(record.ResponseRight, w, "ResponseRight");
    response_right = ResponseDb(tone_right, record.RefLevelRight);
    AppendToList(record.ResponseListRight, response_right, last);
  }
}

}  // namespace multitone
