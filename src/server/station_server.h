#pragma once
// The station's front panel: an HTTP server for one analyzer and one run at
// a time. It serves the page (every file built in) and the API:
//   POST /api/runs {"serial": "..."}  202 {"run_id"}, 409 while a run is
//                                     going, 400 for a bad serial, 423 while
//                                     an open alarm stops the station
//   GET  /api/runs/{run_id}           the result document (as --json)
//   GET  /api/runs/{run_id}/response.svg
//   GET  /api/runs/{run_id}/record.jsonl  the run's analyzer exchange, where
//                                     the station keeps records
//   GET  /api/status                  the station, the run going, today's
//                                     counts, the last 20 runs, the golden
//                                     check's state and the open alarms
//   GET  /api/alarms                  the open alarms, and why the station
//                                     stops (stop_on_alarm), if it does
//   POST /api/alarms/ack {"run_id", "figure", "channel", "tone", "rule",
//                         "by", "note"}  200, 404 for no such open alarm
// A production serial is refused with 423 while the golden check is due.
//   GET  /api/events                  Server-Sent Events: started, step, verdict
#include <iosfwd>
#include <memory>
#include <string>

#include "server/listen_address.h"
#include "server/run_history.h"
#include "store/run_storage.h"
#include "station/unit_run.h"

namespace multitone::server {

struct ServerConfig {
  ListenAddress listen;
  std::string token;  // empty: no token (loopback only)
  // Where each run's record is kept as RUN_ID.jsonl (serve --record DIR);
  // empty: the station keeps none.
  std::string record_folder;
  // The results store (empty: none): the golden-unit check's state, and
  // with limits each run checked on the station's control charts.
  RunStorage storage{};
};

class StationServer {
 public:
  // `log` receives one verdict line per finished run.
  StationServer(ServerConfig config, StationSetup setup, std::unique_ptr<RunHistory> history,
                std::ostream& log);
  ~StationServer();
  StationServer(const StationServer&) = delete;
  StationServer& operator=(const StationServer&) = delete;

  // Binds the listening socket; returns the port (the one chosen for port 0).
  // Throws std::runtime_error when the address cannot be bound.
  int Bind();
  // Serves until Shutdown(); false when serving failed.
  bool Serve();
  // Refuses new runs, lets the run in progress finish and be recorded,
  // closes every event stream and makes Serve() return.
  void Shutdown();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace multitone::server
