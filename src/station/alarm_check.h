#pragma once
// The control-chart check of a station's production runs. A production run
// judged against limits, on a station with a results store, is put on the
// station's charts after it is judged and before its outputs are written;
// the alarms it raises go into its result (UnitResult::alarms), and so into
// its JSON and the store, in the run's own transaction.
//
// The check is advisory: it never changes a verdict, and a store that cannot
// be read only skips it (with a notice). The charts are read from the store
// once (the first check, or Load) and then kept in memory; a unit that was
// not kept leaves them as they were.
#include <optional>
#include <string>

#include "line/station_charts.h"
#include "store/run_storage.h"
#include "store/store_session.h"
#include "verdict/unit_result.h"

namespace multitone {

class AlarmCheck {
 public:
  // With `session`, the charts are read through the program run's open store
  // and it stays open for what comes after (keeping the unit); without, the
  // store is opened for the reading alone.
  AlarmCheck(RunStorage storage, std::string station, std::optional<LimitsSource> limits,
             StoreSession* session = nullptr);

  // True when the station checks its runs: a results store and limits.
  bool Active() const { return active_; }
  // The limits' [control] section says an open alarm stops the station.
  bool StopsOnAlarm() const { return active_ && limits_->limits.control.stop_on_alarm; }

  // Reads the charts unless read already. Empty on success, else a notice.
  std::string Load();
  // Fills `unit.alarms` for a production run judged against this station's
  // limits. Empty, or a notice when the charts could not be read.
  std::string Check(UnitResult& unit);
  // The checked unit was kept: its values stay on the charts.
  void Kept(const UnitResult& unit);

 private:
  const RunStorage storage_;
  StoreSession* const session_;
  const std::string station_;
  const std::optional<LimitsSource> limits_;
  const bool active_;
  std::optional<StationCharts> charts_;
  std::optional<StationCharts> pending_;  // with the unit checked last
  std::string pending_run_;
};

}  // namespace multitone
