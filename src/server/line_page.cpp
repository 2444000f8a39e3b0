#include "server/line_page.h"


#include <httplib.h>

#include <charconv>
#include <chrono>
#include <ctime>
#include <mutex>
#include <stdexcept>

#include "output/json_text.h"
#include "server/access_rules.h"
#include "server/bounded_http_server.h"
#include "server/line_assets.h"
#include "server/line_json.h"
#include "server/page_guard.h"
#include "server/station_assets.h"
#include "store/read_only_store.h"

namespace multitone::server {
namespace {

using nlohmann::json;

// Pages and line software asking at once; the store answers one at a time.
constexpr std::size_t kWorkers = 16;
// A summary this fresh is served again instead of asking the store: many
// pages open on a line cost the store one summary per few seconds.
constexpr std::chrono::seconds kSummaryFresh(5);
// The longest name of a station, figure or channel asked for.
constexpr std::size_t kLongestName = 256;

void SendAsset(httplib::Response& res, std::string_view asset, const char* type) {
  res.set_content(asset.data(), asset.size(), type);
}

}  // namespace

struct LinePage::Impl {
  explicit Impl(LinePageConfig config_in) : config(std::move(config_in)) { Route(); }

  void Route();
  void GetLine(httplib::Response& res);
  void GetChart(const httplib::Request& req, httplib::Response& res);
  // Runs `read` on the store, opened on first use and again after a failure
  // (a PostgreSQL server that restarted); false with a 503 sent when the
  // store cannot be read.
  template <typename Read>
  bool WithStore(httplib::Response& res, Read read);

  const LinePageConfig config;
  std::mutex store_mutex;
  std::unique_ptr<Database> db;
  std::string summary_json;
  std::chrono::steady_clock::time_point summary_time;
  BoundedHttpServer http;
};

template <typename Read>
bool LinePage::Impl::WithStore(httplib::Response& res, Read read) {
  try {
    if (!db) db = OpenStoreReadOnly(config.results);
    read(*db);
    return true;
  } catch (const StoreError& error) {
    db.reset();
    SendError(res, 503, std::string("the results store cannot be read: ") + error.what());
    return false;
  }
}

void LinePage::Impl::Route() {
  http.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  http.set_payload_max_length(kMaxBodyBytes);
  GuardPages(http, config.token, "this line page");
  http.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        if (req.path.rfind("/api/", 0) != 0) return httplib::Server::HandlerResponse::Unhandled;
        SendError(res, res.status, res.status == 404 ? "no such resource" : "request refused");
        return httplib::Server::HandlerResponse::Handled;
      }));

  http.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
    if (TakeTokenFromAddress(req, res, config.token, "this line page's")) return;
    SendAsset(res, kLineHtml, "text/html; charset=utf-8");
  });
  http.Get("/line.js", [](const httplib::Request&, httplib::Response& res) {
    SendAsset(res, kLineScript, "text/javascript; charset=utf-8");
  });
  http.Get("/line.css", [](const httplib::Request&, httplib::Response& res) {
    SendAsset(res, kLineStyle, "text/css; charset=utf-8");
  });
  // The page's files never change while the program runs.
  http.Get("/chart.js", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "max-age=86400");
    SendAsset(res, kChartScript, "text/javascript; charset=utf-8");
  });
  http.Get(R"(/favicon\.(svg|ico))", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Security-Policy", kDrawingPolicy);
    SendAsset(res, kStationIcon, "image/svg+xml");
  });
  http.Get("/api/line", [this](const httplib::Request&, httplib::Response& res) { GetLine(res); });
  http.Get("/api/line/chart", [this](const httplib::Request& req, httplib::Response& res) { GetChart(req, res); });
}

void LinePage::Impl::GetLine(httplib::Response& res) {
  std::lock_guard lock(store_mutex);
  const auto now = std::chrono::steady_clock::now();
  if (summary_json.empty() || now - summary_time >= kSummaryFresh) {
    const LinePeriods periods = PeriodsAt(std::time(nullptr), config.shifts);
    std::string fresh;
    if (!WithStore(res, [&](Database& store) { fresh = JsonText(LineJson(ReadLineSummary(store, periods), periods)); })) {
      return;
    }
    summary_json = std::move(fresh);
    summary_time = now;
  }
  res.set_content(summary_json, "application/json");
}

void LinePage::Impl::GetChart(const httplib::Request& req, httplib::Response& res) {
  ChartKey key{req.get_param_value("station"), req.get_param_value("figure"), req.get_param_value("channel"), 0};
  const std::string tone = req.has_param("tone") ? req.get_param_value("tone") : "0";
  const auto [end, error] = std::from_chars(tone.data(), tone.data() + tone.size(), key.tone);
  if (error != std::errc() || end != tone.data() + tone.size() || key.tone < 0 || key.tone > 64) {
    return SendError(res, 400, "tone must be a whole number from 0 to 64");
  }
  if (key.station.empty() || key.figure.empty()) return SendError(res, 400, "name a station and a figure");
  if (key.station.size() > kLongestName || key.figure.size() > kLongestName || key.channel.size() > kLongestName) {
    return SendError(res, 400, "a name is longer than " + std::to_string(kLongestName) + " bytes");
  }
  std::lock_guard lock(store_mutex);
  StationChart chart;
  if (!WithStore(res, [&](Database& store) { chart = ReadStationChart(store, key, kChartPoints); })) {
    return;
  }
  if (chart.points.empty()) return SendError(res, 404, "no production values of this chart on " + key.station);
  SendJson(res, 200, ChartJson(key, chart));
}

LinePage::LinePage(LinePageConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

LinePage::~LinePage() { Shutdown(); }

int LinePage::Bind() {
  return impl_->http.BindOwnPort(impl_->config.listen, "another program");
}

bool LinePage::Serve() {
  return impl_->http.ServeUntilStopped();
}

void LinePage::Shutdown() {
  impl_->http.StopServing();
}

}  // namespace multitone::server
