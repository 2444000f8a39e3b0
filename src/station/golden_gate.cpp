#include "station/golden_gate.h"

#include "common/iso_time.h"
#include "line/golden_schedule.h"
#include "store/store_session.h"

namespace multitone {

void MarkGoldenCheck(UnitResult& unit) {
  if (!unit.limits) return;
  const GoldenSettings& golden = unit.limits->limits.golden;
  const GoldenUnit* reference = golden.Find(unit.serial);
  if (reference == nullptr) return;
  unit.purpose = "golden";
  unit.tag = "golden-check " + IsoTimeUtc(unit.started_at);
  unit.golden_check = CompareWithGolden(unit.results, *reference, golden);
}

std::string GoldenNeedsStore(const std::optional<LimitsSource>& limits, bool store_given) {
  if (!limits || !limits->limits.golden.present || store_given) return {};
  return limits->file +
         ": has a [golden] section, and golden checks are tracked in the results store: give --results URL";
}

std::optional<std::string> GoldenRefusal(const std::optional<LimitsSource>& limits, const RunStorage& storage,
                                         const std::string& station, const std::string& serial,
                                         std::chrono::system_clock::time_point now) {
  StoreSession session(storage);
  return GoldenRefusal(limits, session, station, serial, now);
}

std::optional<std::string> GoldenRefusal(const std::optional<LimitsSource>& limits, StoreSession& session,
                                         const std::string& station, const std::string& serial,
                                         std::chrono::system_clock::time_point now) {
  if (!limits || !limits->limits.golden.present) return std::nullopt;
  const GoldenSettings& golden = limits->limits.golden;
  if (golden.Find(serial)) return std::nullopt;
  GoldenStatus status;
  try {
    status = ReadGoldenStatus(session, station, golden, now);
  } catch (const std::exception& error) {
    status.due = true;
    status.why = std::string("the golden check's state cannot be read from the results store: ") + error.what();
  }
  if (!status.due) return std::nullopt;
  return GoldenRefusalText(golden, status);
}

}  // namespace multitone
