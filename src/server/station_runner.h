#pragma once
// Runs the station's units one at a time on a worker thread of its own, so
// that nothing a client does (a slow page, a stuck connection) delays a run.
// Each step is published as an event; a finished run is recorded, kept for
// GET /api/runs/{id}, logged as its verdict line, and published.
#include <condition_variable>
#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "server/alarm_board.h"
#include "server/event_hub.h"
#include "server/golden_watch.h"
#include "server/result_cache.h"
#include "server/run_history.h"
#include "station/alarm_check.h"
#include "station/unit_run.h"

namespace multitone::server {

struct RunProgress {
  std::string run_id;
  std::string serial;
  std::size_t index = 0;  // of the step running, 0-based
  std::size_t count = 0;  // 0 until the first step begins
  std::string step;
};

class StationRunner {
 public:
  // `golden`, when given, refuses a serial just before its run starts. With
  // `alarms` and `board`, each run is checked on the station's control
  // charts before it is kept, and its alarms go on the board.
  StationRunner(StationSetup setup, RunHistory& history, ResultCache& results, EventHub& events,
                std::ostream& log, GoldenWatch* golden = nullptr, AlarmCheck* alarms = nullptr,
                AlarmBoard* board = nullptr);
  ~StationRunner();
  StationRunner(const StationRunner&) = delete;
  StationRunner& operator=(const StationRunner&) = delete;

  enum class Start { Started, Busy, Closed, Stopped };
  struct StartOutcome {
    Start status;
    std::string run_id;  // the new run's, or the one in progress when busy
    std::string why;     // Stopped: the open alarm that stops the station
  };
  // Starts testing the unit `serial` (already checked) unless a run is going.
  StartOutcome StartRun(const std::string& serial);

  // The run in progress, if any.
  std::optional<RunProgress> Current() const;
  // The latest finished run, if any.
  std::optional<RunSummary> Last() const;

  // Refuses new runs, lets the run in progress finish and be recorded, and
  // stops the worker. Safe to call more than once.
  void Finish();

  const StationSetup& Setup() const { return setup_; }

 private:
  void Work();
  UnitResult Test(const std::string& run_id, const std::string& serial);
  void Conclude(UnitResult unit);

  const StationSetup setup_;
  RunHistory& history_;
  ResultCache& results_;
  EventHub& events_;
  std::ostream& log_;
  GoldenWatch* const golden_;  // the golden-unit check, when the station has one
  AlarmCheck* const alarms_;
  AlarmBoard* const board_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<RunProgress> current_;  // set from StartRun until recorded
  bool pending_ = false;                // StartRun handed a run to the worker
  bool closing_ = false;
  std::optional<RunSummary> last_;
  std::thread worker_;
};

}  // namespace multitone::server
