#pragma once
// The station's open alarms, as its page shows them: read from the results
// store when the server starts, joined by each run's new alarms, left by the
// ones acknowledged. A notice that does not block testing, unless the limits
// say stop_on_alarm: then no unit is tested while one is open.
//
// The store is read when the server starts, after each run and, while the
// station is stopped, when a unit is scanned (an alarm acknowledged with
// `multitone alarms ack` releases it); never while the page waits.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "store/run_storage.h"
#include "store/stored_alarms.h"
#include "verdict/unit_alarm.h"

namespace multitone::server {

class AlarmBoard {
 public:
  // An empty `storage.results`: a station without a store raises none.
  AlarmBoard(RunStorage storage, std::string station, bool stop_on_alarm);

  // Reads the station's open alarms from the store; on failure keeps what
  // it had and returns why. Until a first read succeeds, a station that
  // stops on alarms stops: the store cannot say whether one is open.
  std::string Refresh();
  // A finished run's alarms (kept with it).
  void Add(const std::vector<UnitAlarm>& alarms, const std::string& raised_at);

  std::vector<AlarmRow> Open() const;
  bool StopsOnAlarm() const { return stop_on_alarm_; }
  // Why the station tests no unit now; empty when it does.
  std::string Stopped() const;

  struct Outcome {
    int status;         // 200 acknowledged, 404 no such open alarm, 503 the store cannot be written
    std::string error;  // for other than 200
  };
  // Acknowledges one open alarm of this station: `by` now, with a note.
  Outcome Acknowledge(const AlarmFilter& alarm, const std::string& by, const std::string& note);

 private:
  const RunStorage storage_;
  const std::string station_;
  const bool stop_on_alarm_;
  mutable std::mutex mutex_;
  std::vector<AlarmRow> open_;  // oldest first
  bool read_ = false;           // the store has been read once
  std::string unread_;          // why it has not been read yet
};

}  // namespace multitone::server
