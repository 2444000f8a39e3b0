#include "station/alarm_check.h"

#include <filesystem>

#include "store/chart_history.h"
#include "store/results_store.h"
#include "store/results_url.h"

namespace multitone {

AlarmCheck::AlarmCheck(RunStorage storage, std::string station, std::optional<LimitsSource> limits,
                       StoreSession* session)
    : storage_(std::move(storage)),
      session_(session),
      station_(std::move(station)),
      limits_(std::move(limits)),
      active_(!storage_.results.empty() && limits_.has_value()) {}

std::string AlarmCheck::Load() {
  if (!active_ || charts_) return {};
  std::optional<StoreSession> own;
  StoreSession& session = session_ ? *session_ : own.emplace(storage_);
  try {
    const auto url = ParseResultsUrl(storage_.results);
    if (url && url->engine == Engine::Postgres) {
      // Runs still in the spool belong on the charts: sent first, when the
      // server takes them.
      const std::string spool = SpoolPath(storage_);
      std::error_code error;
      if (std::filesystem::is_regular_file(spool, error)) ForwardSpool(session);
    }
    const ControlSettings& control = limits_->limits.control;
    charts_.emplace(station_, control,
                    ReadStationHistory(session.Results().db(), station_, limits_->sha256, control.baseline,
                                       StationCharts::kNewestRead));
    return {};
  } catch (const StoreError& error) {
    session.Forget();  // what comes after opens the store anew
    return std::string("alarm check skipped: the station's control charts cannot be read: ") + error.what();
  }
}

std::string AlarmCheck::Check(UnitResult& unit) {
  unit.alarms.clear();
  if (!active_ || unit.purpose != "production" || !unit.limits || unit.limits->sha256 != limits_->sha256) return {};
  if (std::string notice = Load(); !notice.empty()) return notice;
  pending_ = *charts_;
  pending_run_ = unit.run_id;
  unit.alarms = pending_->Add(unit);
  return {};
}

void AlarmCheck::Kept(const UnitResult& unit) {
  if (!pending_ || unit.run_id != pending_run_) return;
  charts_ = std::move(pending_);
  pending_.reset();
}

}  // namespace multitone
