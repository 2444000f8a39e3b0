#include "run/run_results.h"

#include "run/build_run_results.h"

#include <algorithm>
#include <array>

#include "measure/nominal_tones.h"
#include "write_back/write_back_steps.h"
#include "run/run_measurement.h"

namespace multitone {
namespace {

struct FigureInfo {
  std::string_view name;
  std::string_view unit;
};

constexpr std::array<FigureInfo, kFigureCount> kFigureInfo = {{
    {"total_level", "V"},
    {"reference_level", "V"},
    {"distortion", "%"},
    {"crosstalk_100hz", "dB"},
    {"crosstalk_10khz", "dB"},
    {"noise", "V"},
    {"signal_to_noise", "dB"},
}};

// The sentinels stand where a figure could not be formed; they carry the
// 16-bit integer kind, which no computed figure has.
bool IsSentinel(const GeneralValue& value) { return value.Kind() == ValueKind::Int16; }

FigureValue Defined(double value) { return {value, true}; }
FigureValue FromGeneral(const GeneralValue& value) {
  if (IsSentinel(value)) return {value.ToDouble(), false};
  return Defined(value.ToDouble());
}
FigureValue Crosstalk(double value) { return {value, value != 240.0}; }

// The step's place in the run; past the last for a name the run lacks.
std::size_t StepIndex(std::string_view step) {
  const auto steps = RunSteps();
  std::size_t i = 0;
  while (i < steps.size() && steps[i].name != step) ++i;
  return i;
}

// How far a run got: the index of the step that failed (0 when it failed
// outside any step), or past the last.
std::size_t StepsCompleted(const RunError* error) {
  if (error == nullptr) return RunSteps().size();
  const std::size_t failed = StepIndex(error->Step());
  return failed < RunSteps().size() ? failed : 0;
}

bool Ran(std::size_t completed, std::string_view step) { return StepIndex(step) < completed; }

template <typename Table>
double Entry(const Table& table, std::size_t index) {
  if (index >= table.size()) return 0;
  if constexpr (std::is_same_v<typename Table::value_type, GeneralValue>) {
    return table[index].ToDouble();
  } else {
    return static_cast<double>(table[index]);
  }
}

template <typename Nominal>
void FillTones(ChannelResults& channel, const Nominal& nominal, bool planned,
               bool responded, const auto& frequencies, const std::vector<GeneralValue>& responses) {
  channel.tones.clear();
  for (std::size_t i = 0; i < nominal.size(); ++i) {
    ToneResult tone;
    tone.tone = static_cast<int>(i) + 1;
    tone.nominal_hz = static_cast<double>(nominal[i]);
    if (planned) tone.frequency_hz = Entry(frequencies, i + 1);
    if (responded && i + 1 < responses.size()) tone.response_db = FromGeneral(responses[i + 1]);
    channel.tones.push_back(tone);
  }
}

}  // namespace

std::string_view ChannelName(Channel channel) { return channel == Channel::Left ? "left" : "right"; }
std::string_view FigureName(Figure figure) {
  return kFigureInfo[static_cast<std::size_t>(figure)].name;
}
std::string_view FigureUnit(Figure figure) {
  return kFigureInfo[static_cast<std::size_t>(figure)].unit;
}

std::string RunFailure::Line() const { return ErrorLine(number, step, text); }

RunResults BuildRunResults(const MeasurementRecord& record, const RunError* error) {
  RunResults results;
  const std::size_t completed = StepsCompleted(error);
  results.complete = error == nullptr;
  if (error != nullptr) {
    results.error = RunFailure{static_cast<int>(error->Number()), error->Step(),
                               error->Description().empty()
                                   ? std::string(ErrorTitle(error->Number()))
                                   : error->Description()};
  }

  if (Ran(completed, "MeasurePitch")) {
    results.reference_frequency_hz = Defined(record.ReferenceReadingHz);
    results.pitch_error = Defined(PitchErrorPercent(record));
  }
  const bool planned = Ran(completed, "BuildTonePlan");
  const bool responded = Ran(completed, "ComputeToneResults");
  FillTones(results.left, kLeftTonesHz, planned, responded, record.ToneFreqLeft,
            record.ResponseLeft);
  FillTones(results.right, kRightTonesHz, planned, responded, record.ToneFreqRight,
            record.ResponseRight);

  if (Ran(completed, "AcquireSpectra")) {
    results.left[Figure::TotalLevel] = Defined(record.TotalLevelLeft);
    results.right[Figure::TotalLevel] = Defined(record.TotalLevelRight);
    results.left[Figure::ReferenceLevel] = Defined(record.RefLevelLeft);
    results.right[Figure::ReferenceLevel] = Defined(record.RefLevelRight);
  }
  if (responded) {
    // Crosstalk is read at tone 3 (100 Hz / 130 Hz) and tone 12 (9900 Hz /
    // 10100 Hz), where the other channel has no tone of its own.
    results.left[Figure::Crosstalk100Hz] = Crosstalk(Entry(record.CrosstalkLeft, 3));
    results.left[Figure::Crosstalk10kHz] = Crosstalk(Entry(record.CrosstalkLeft, 12));
    if (record.CrosstalkRight.size() > 12) {
      results.right[Figure::Crosstalk100Hz] = FromGeneral(record.CrosstalkRight[3]);
      results.right[Figure::Crosstalk10kHz] = FromGeneral(record.CrosstalkRight[12]);
    }
  }
  if (Ran(completed, "ComputeDistortionAndNoise")) {
    results.left[Figure::Distortion] = FromGeneral(record.DistortionLeft);
    results.right[Figure::Distortion] = FromGeneral(record.DistortionRight);
    results.left[Figure::Noise] = FromGeneral(record.NoiseLeft);  // int16 0: no bin counted
    results.right[Figure::Noise] = Defined(record.NoiseRight);
    results.left[Figure::SignalToNoise] = FromGeneral(record.SignalToNoiseLeft);
    results.right[Figure::SignalToNoise] = FromGeneral(record.SignalToNoiseRight);
  }
  return results;
}

}  // namespace multitone
