#pragma once
// The line page: an HTTP server over a line's results store that shows
// every station at once, read-only and without an analyzer
// (multitone serve --line). It serves the page (every file built in,
// Chart.js included) and the API:
//   GET /api/line                 the day's and the shift's yields per
//                                 station, the failing figures, the
//                                 figures' Cpk and stations side by side,
//                                 the alarms
//   GET /api/line/chart?station=S&figure=F&channel=C&tone=T
//                                 one station's control chart
// The access rules are the station's: a token when not on loopback, a
// loopback Host header without one.
#include <memory>
#include <string>

#include "server/line_periods.h"
#include "server/listen_address.h"

namespace multitone::server {

struct LinePageConfig {
  ListenAddress listen;
  std::string token;    // empty: no token (loopback only)
  std::string results;  // the store's URL
  ShiftPlan shifts;
};

class LinePage {
 public:
  explicit LinePage(LinePageConfig config);
  ~LinePage();
  LinePage(const LinePage&) = delete;
  LinePage& operator=(const LinePage&) = delete;

  // Binds the listening socket; returns the port. Throws std::runtime_error.
  int Bind();
  // Serves until Shutdown(); false when serving failed.
  bool Serve();
  void Shutdown();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace multitone::server
