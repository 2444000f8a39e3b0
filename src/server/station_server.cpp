#include "server/station_server.h"


#include <httplib.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <charconv>
#include <ostream>
#include <stdexcept>

#include "server/access_rules.h"
#include "server/bounded_http_server.h"
#include "server/event_hub.h"
#include "server/page_guard.h"
#include "output/json_text.h"
#include "server/result_cache.h"
#include "server/station_assets.h"
#include "server/station_page.h"
#include "server/station_runner.h"
#include "server/stream_slots.h"
#include "station/unit_names.h"

namespace multitone::server {
namespace {

using nlohmann::json;

constexpr std::size_t kRecentRuns = 20;
// Workers: more than the event streams and a crowd of slow clients (each
// of which holds one for at most BoundedHttpServer::kRequestTime), so the
// operator's page and the line software are always answered.
constexpr std::size_t kWorkers = 160;
// Event streams at once; a new one beyond them ends the oldest.
constexpr std::size_t kMaxStreams = 16;
// An idle event stream sends a comment this often, for proxies on the way.
constexpr std::chrono::seconds kKeepAlive(15);
// How often a waiting event stream looks whether its page is still there
// (and its slot still its own): a stream frees its worker this soon after.
constexpr std::chrono::seconds kStreamLook(1);
// Events kept for pages that reconnect: several whole runs.
constexpr std::size_t kKeptEvents = 256;

// Event ids count on from this station's start in milliseconds: a page that
// saw an earlier start of the station, and resumes here, is behind every
// event of this one.
std::uint64_t StartingEventId() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) * 1000;
}

std::string ProductText(const StationSetup& setup) {
  if (!setup.limits) return {};
  const Limits& limits = setup.limits->limits;
  if (limits.revision.empty()) return limits.product;
  return limits.product + " rev " + limits.revision;
}

}  // namespace

struct StationServer::Impl {
  Impl(ServerConfig config_in, StationSetup setup, std::unique_ptr<RunHistory> history_in,
       std::ostream& log)
      : config(std::move(config_in)),
        history(std::move(history_in)),
        page(StationPage({setup.station, ProductText(setup), setup.analyzer, setup.simulated})),
        events(kKeptEvents, StartingEventId()),
        golden(setup.limits, config.storage, setup.station),
        alarm_check(config.storage, setup.station, setup.limits),
        board(alarm_check.Active() ? config.storage : RunStorage{}, setup.station, alarm_check.StopsOnAlarm()),
        runner(std::move(setup), *history, results, events, log, &golden, &alarm_check, &board) {
    if (const std::string why = board.Refresh(); !why.empty()) {
      log << "multitone serve: the open alarms cannot be read: " << why << '\n';
    }
    Route();
  }

  void Route();
  void PostRun(const httplib::Request& req, httplib::Response& res);
  void GetRecord(const std::string& run_id, httplib::Response& res);
  void GetStatus(httplib::Response& res);
  void PostAcknowledge(const httplib::Request& req, httplib::Response& res);
  json OpenAlarms() const;
  void GetEvents(const httplib::Request& req, httplib::Response& res);

  const ServerConfig config;
  std::unique_ptr<RunHistory> history;
  const std::string page;
  ResultCache results;
  EventHub events;
  GoldenWatch golden;
  AlarmCheck alarm_check;
  AlarmBoard board;
  StationRunner runner;
  StreamSlots streams{kMaxStreams};
  BoundedHttpServer http;
  std::atomic<bool> stopping{false};
};

void StationServer::Impl::Route() {
  http.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  http.set_payload_max_length(kMaxBodyBytes);

  GuardPages(http, config.token, "this station");
  http.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    if (res.status == 413) {
      SendError(res, 413, "the request body is larger than " + std::to_string(kMaxBodyBytes) + " bytes");
    } else if (req.path.rfind("/api/", 0) == 0) {
      SendError(res, res.status, res.status == 404 ? "no such resource" : "request refused");
    } else {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    return httplib::Server::HandlerResponse::Handled;
  }));

  http.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
    if (TakeTokenFromAddress(req, res, config.token, "this station's")) return;
    res.set_content(page, "text/html; charset=utf-8");
  });
  http.Get("/station.js", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kStationScript.data(), kStationScript.size(), "text/javascript; charset=utf-8");
  });
  http.Get("/station.css", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kStationStyle.data(), kStationStyle.size(), "text/css; charset=utf-8");
  });
  // The page names its icon; a browser that asks for /favicon.ico all the
  // same gets it too.
  http.Get(R"(/favicon\.(svg|ico))", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Security-Policy", kDrawingPolicy);
    res.set_content(kStationIcon.data(), kStationIcon.size(), "image/svg+xml");
  });

  http.Post("/api/runs", [this](const httplib::Request& req, httplib::Response& res) { PostRun(req, res); });
  http.Get(R"(/api/runs/([0-9a-f-]{36}))", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string run_id = req.matches[1];
    // Running until the runner lets the run go: its result is cached before
    // that, and given only after, when the station shows it counted and
    // idle and takes the next unit. Asked the other way round, a client
    // could read the result and then be refused its next unit as busy.
    if (const auto current = runner.Current(); current && current->run_id == run_id) {
      SendJson(res, 202, {{"run_id", run_id}, {"state", "running"}});
    } else if (const auto result = results.Find(run_id)) {
      res.set_content(result->json, "application/json");
    } else {
      SendError(res, 404, "no run " + run_id + " on this station");
    }
  });
  http.Get(R"(/api/runs/([0-9a-f-]{36})/response\.svg)",
           [this](const httplib::Request& req, httplib::Response& res) {
             const auto result = results.Find(req.matches[1]);
             if (!result) return SendError(res, 404, "no drawing for this run");
             res.set_header("Content-Security-Policy", kDrawingPolicy);
             res.set_content(result->response_svg, "image/svg+xml");
           });
  http.Get(R"(/api/runs/([0-9a-f-]{36})/record\.jsonl)",
           [this](const httplib::Request& req, httplib::Response& res) { GetRecord(req.matches[1], res); });
  http.Get("/api/status", [this](const httplib::Request&, httplib::Response& res) { GetStatus(res); });
  http.Get("/api/alarms", [this](const httplib::Request&, httplib::Response& res) {
    const std::string stopped = board.Stopped();
    SendJson(res, 200, {{"alarms", OpenAlarms()}, {"stopped", stopped.empty() ? json(nullptr) : json(stopped)}});
  });
  http.Post("/api/alarms/ack",
            [this](const httplib::Request& req, httplib::Response& res) { PostAcknowledge(req, res); });
  http.Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) { GetEvents(req, res); });
}

// A finished run's record, for the desk that replays it: only runs this
// station made (the run id is its own, from the result cache), only from the
// record folder, never more than a record can be.
void StationServer::Impl::GetRecord(const std::string& run_id, httplib::Response& res) {
  if (config.record_folder.empty()) {
    return SendError(res, 404, "this station keeps no records (multitone serve --record DIR)");
  }
  if (!results.Find(run_id)) return SendError(res, 404, "no finished run " + run_id + " on this station");
  constexpr std::streamsize kLargestRecord = 64 << 20;
  std::ifstream file(config.record_folder + "/" + run_id + ".jsonl", std::ios::binary);
  std::string content(static_cast<std::size_t>(kLargestRecord) + 1, '\0');
  if (file) file.read(content.data(), kLargestRecord + 1);
  if (!file && !file.eof()) return SendError(res, 404, "no record of run " + run_id);
  content.resize(static_cast<std::size_t>(file.gcount()));
  if (content.empty()) return SendError(res, 404, "no record of run " + run_id);
  if (content.size() > static_cast<std::size_t>(kLargestRecord)) {
    return SendError(res, 500, "the record of run " + run_id + " is larger than any record");
  }
  res.set_header("Content-Disposition", "attachment; filename=\"" + run_id + ".jsonl\"");
  res.set_content(content, "application/x-ndjson");
}

void StationServer::Impl::PostRun(const httplib::Request& req, httplib::Response& res) {
  // Only JSON: a form on another site cannot send it without asking first.
  if (!IsJsonContentType(req.get_header_value("Content-Type"))) {
    return SendError(res, 415, "send the serial as application/json: {\"serial\": \"...\"}");
  }
  if (req.body.size() > kMaxBodyBytes) {
    return SendError(res, 413, "the request body is larger than " + std::to_string(kMaxBodyBytes) + " bytes");
  }
  const json body = json::parse(req.body, nullptr, false);
  if (body.is_discarded() || !body.is_object() || !body.contains("serial") || !body["serial"].is_string()) {
    return SendError(res, 400, "the body must be {\"serial\": \"...\"}");
  }
  const std::string serial = body["serial"].get<std::string>();
  const StationSetup& setup = runner.Setup();
  const std::string pattern = setup.limits ? setup.limits->limits.serial_pattern : std::string();
  if (const auto problem = SerialProblem(serial, pattern)) return SendError(res, 400, *problem);

  // The golden-unit check: a production serial waits while it is due.
  if (!runner.Current()) {
    if (const auto refused = golden.Refusal(serial)) {
      return SendJson(res, 423, {{"error", *refused}, {"golden", golden.Json(std::chrono::system_clock::now())}});
    }
  }
  const auto started = runner.StartRun(serial);
  switch (started.status) {
    case StationRunner::Start::Started:
      return SendJson(res, 202, {{"run_id", started.run_id}});
    case StationRunner::Start::Busy: {
      const auto current = runner.Current();
      return SendJson(res, 409, {{"error", "a run is in progress"},
                                 {"run_id", started.run_id},
                                 {"serial", current ? current->serial : std::string()}});
    }
    case StationRunner::Start::Closed:
      return SendError(res, 503, "the station is shutting down");
    case StationRunner::Start::Stopped:
      return SendError(res, 423, started.why);
  }
}

json StationServer::Impl::OpenAlarms() const {
  json list = json::array();
  for (const AlarmRow& a : board.Open()) {
    list.push_back({{"station", a.station}, {"figure", a.figure}, {"channel", a.channel}, {"tone", a.tone},
                    {"rule", a.rule}, {"run_id", a.run_id}, {"raised_at", a.raised_at}, {"value", a.value},
                    {"centre", a.centre}, {"sigma", a.sigma}, {"summary", AlarmSummary(a)}});
  }
  return list;
}

// One open alarm acknowledged by the operator the body names.
void StationServer::Impl::PostAcknowledge(const httplib::Request& req, httplib::Response& res) {
  if (!IsJsonContentType(req.get_header_value("Content-Type"))) {
    return SendError(res, 415, "send the acknowledgement as application/json");
  }
  const json body = json::parse(req.body, nullptr, false);
  const auto text = [&](const char* key) {
    return body.is_object() && body.contains(key) && body[key].is_string();
  };
  if (!text("run_id") || !text("figure") || !text("channel") || !text("rule") || !text("by") ||
      !body.contains("tone") || !body["tone"].is_number_integer() || (body.contains("note") && !text("note"))) {
    return SendError(res, 400,
                     "the body must be {\"run_id\", \"figure\", \"channel\", \"tone\", \"rule\", \"by\", "
                     "\"note\"} as the alarm names them");
  }
  const std::string by = body["by"].get<std::string>();
  if (const auto problem = NameProblem(by, "the operator's name")) return SendError(res, 400, *problem);
  const std::string note = text("note") ? body["note"].get<std::string>() : std::string();
  if (!note.empty()) {
    if (const auto problem = NameProblem(note, "the note")) return SendError(res, 400, *problem);
  }
  AlarmFilter alarm;
  alarm.run_id = body["run_id"].get<std::string>();
  alarm.rule = body["rule"].get<std::string>();
  alarm.figure = body["figure"].get<std::string>();
  alarm.channel = body["channel"].get<std::string>();
  alarm.tone = body["tone"].get<int>();
  if (alarm.run_id.empty()) return SendError(res, 400, "the alarm's run_id is empty");
  const AlarmBoard::Outcome done = board.Acknowledge(alarm, by, note);
  if (done.status != 200) return SendError(res, done.status, done.error);
  events.Publish("alarms", JsonText({{"acknowledged_by", by}}));
  SendJson(res, 200, {{"acknowledged", 1}, {"by", by}});
}

void StationServer::Impl::GetStatus(httplib::Response& res) {
  // Read before the state: the state below is at least as new as this event,
  // so a page that saw this event in its stream has nothing older to show.
  const std::uint64_t event_id = events.LastId();
  const StationSetup& setup = runner.Setup();
  json status = {{"station", setup.station},
                 {"analyzer", setup.analyzer},
                 {"simulated", setup.simulated},
                 {"product", setup.limits ? json(setup.limits->limits.product) : json(nullptr)},
                 {"revision", setup.limits ? json(setup.limits->limits.revision) : json(nullptr)},
                 {"limits_file", setup.limits ? json(setup.limits->file) : json(nullptr)},
                 {"history", history->Source()}};
  const auto current = runner.Current();
  status["event_id"] = event_id;
  status["state"] = stopping ? "stopping" : current ? "running" : "idle";
  status["run"] = current ? json{{"run_id", current->run_id},
                                 {"serial", current->serial},
                                 {"index", current->index},
                                 {"count", current->count},
                                 {"step", current->step}}
                          : json(nullptr);
  const auto last = runner.Last();
  status["last"] = last ? SummaryJson(*last) : json(nullptr);
  status["today"] = CountsJson(history->Today());
  status["records"] = !config.record_folder.empty();
  status["golden"] = golden.Json(std::chrono::system_clock::now());
  json recent = json::array();
  for (const auto& run : history->Recent(kRecentRuns)) recent.push_back(SummaryJson(run));
  status["recent"] = std::move(recent);
  status["alarms"] = OpenAlarms();
  const std::string stopped = board.Stopped();
  status["stopped"] = stopped.empty() ? json(nullptr) : json(stopped);
  SendJson(res, 200, status);
}

void StationServer::Impl::GetEvents(const httplib::Request& req, httplib::Response& res) {
  // A page that reconnects says where it stopped (the browser's
  // Last-Event-ID, or ?after= when the page opens a new stream itself); the
  // events it missed come first. A new page starts from now.
  std::uint64_t start = events.LastId();
  const std::string resume = req.has_header("Last-Event-ID") ? req.get_header_value("Last-Event-ID")
                                                              : req.get_param_value("after");
  std::uint64_t asked = 0;
  const auto [end, error] = std::from_chars(resume.data(), resume.data() + resume.size(), asked);
  if (!resume.empty() && error == std::errc() && end == resume.data() + resume.size() && asked <= start) {
    start = asked;
  }
  auto cursor = std::make_shared<std::uint64_t>(start);
  auto greeted = std::make_shared<bool>(false);
  auto written = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
  auto slot = streams.Open();
  res.set_header("Cache-Control", "no-store");
  res.set_chunked_content_provider(
      "text/event-stream", [this, cursor, greeted, written, slot](std::size_t, httplib::DataSink& sink) {
        std::string out;
        if (!*greeted) {
          *greeted = true;
          out = "retry: 1000\n\n";
        }
        const auto fresh = events.WaitAfter(*cursor, out.empty() ? kStreamLook : std::chrono::seconds(0));
        if (events.Closed()) {
          sink.done();
          return true;
        }
        if (!*slot) {
          // Ended for a newer stream: this page comes back later, not at once.
          const std::string later = "retry: 10000\n\n";
          sink.write(later.data(), later.size());
          sink.done();
          return true;
        }
        if (!BoundedHttpServer::ClientStillThere()) return false;
        for (const auto& event : fresh) {
          out += SseFrame(event);
          *cursor = event.id;
        }
        const auto now = std::chrono::steady_clock::now();
        if (out.empty()) {
          if (now - *written < kKeepAlive) return true;
          out = ": keep-alive\n\n";
        }
        *written = now;
        return sink.write(out.data(), out.size());
      });
}

StationServer::StationServer(ServerConfig config, StationSetup setup, std::unique_ptr<RunHistory> history,
                             std::ostream& log)
    : impl_(std::make_unique<Impl>(std::move(config), std::move(setup), std::move(history), log)) {}

StationServer::~StationServer() { Shutdown(); }

int StationServer::Bind() {
  return impl_->http.BindOwnPort(impl_->config.listen, "another station or program");
}

bool StationServer::Serve() {
  return impl_->http.ServeUntilStopped();
}

void StationServer::Shutdown() {
  if (impl_->stopping.exchange(true)) return;
  impl_->runner.Finish();
  impl_->events.Close();
  impl_->http.StopServing();
}

}  // namespace multitone::server
