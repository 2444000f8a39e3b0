// The line page over a line's PostgreSQL store: its data (GET /api/line:
// the day's yields, failing figures, spreads and alarms, made into the
// page's JSON) and one station's control chart (GET /api/line/chart), on a
// store of a PostgreSQL server of the benchmark's own. The runs are made by
// the server itself (INSERT ... SELECT over generate_series, 47 measurements
// a run, chunk by chunk), then vacuumed and analysed as autovacuum would.
//
//   line_page_benchmark [--runs=1000000] [--stations=50] [--days=40] [--url=URL]
//                       [benchmark flags]
//
// --url: a PostgreSQL server of the caller's instead of a new one; the line
// is made there when its store has no runs yet.
//
// The runs end at 2026-12-02T00:00Z, evenly spread over the days; the page
// is read as at the end of 2026-12-01, so "today" is a whole day's runs
// (runs / days) and "this shift" its last 8 hours. Every 53rd run fails one
// figure, every 37th retests a serial, every 500th is a golden run; one
// alarm per 1,000 runs.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "server/line_json.h"
#include "store/read_only_store.h"
#include "store/results_store.h"
#include "support/postgres_server.h"

namespace multitone::testing {
namespace {

long g_runs = 1000000, g_stations = 50, g_days = 40;
std::string g_url;  // --url=: a server of the caller's, its store made if it has no runs

const LinePeriods kPeriods{"2026-12-01T00:00:00.000Z", "2026-12-01T16:00:00.000Z", "2026-12-02T00:00:00.000Z"};

void Exec(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  const auto status = PQresultStatus(result);
  const std::string error = PQresultErrorMessage(result);
  PQclear(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw std::runtime_error("line_page_benchmark: " + error + "\n" + sql.substr(0, 300));
  }
}

// The 47 measurements of a run: key (0.. for the figures with limits that a
// failing run may fail, -1 for the others), figure, channel, tone, Hz, unit,
// low, high, mean, standard deviation.
std::string Figures() {
  struct Model {
    const char* figure;
    const char* unit;
    double mean, sd;
    const char *low, *high;
  };
  const Model models[] = {
      {"total_level", "V", 0.775, 0.01, "0.74", "0.81"},   {"reference_level", "V", 0.5, 0.005, "NULL", "NULL"},
      {"distortion", "%", 0.02, 0.004, "NULL", "0.035"},    {"crosstalk_100hz", "dB", 80, 3, "70", "NULL"},
      {"crosstalk_10khz", "dB", 70, 3, "60", "NULL"},       {"noise", "V", 2e-5, 3e-6, "NULL", "3e-5"},
      {"signal_to_noise", "dB", 90, 1.2, "86", "NULL"},
  };
  const double hz[] = {31.5, 63, 100, 200, 400, 1000, 2000, 3150, 4000, 5000, 6300, 7100, 8000, 10000, 12500, 16000};
  std::string values;
  int key = 0;
  char row[512];
  auto add = [&](int k, const char* figure, const char* channel, int tone, const char* nominal, const char* unit,
                 const char* low, const char* high, double mean, double sd) {
    std::snprintf(row, sizeof row,
                  "%s(%d, '%s', '%s', %d, CAST(%s AS DOUBLE PRECISION), '%s', CAST(%s AS DOUBLE PRECISION), "
                  "CAST(%s AS DOUBLE PRECISION), CAST(%.17g AS DOUBLE PRECISION), CAST(%.17g AS DOUBLE PRECISION))",
                  values.empty() ? "" : ", ", k, figure, channel, tone, nominal, unit, low, high, mean, sd);
    values += row;
  };
  add(key++, "pitch_error", "", 0, "NULL", "%", "-0.5", "0.5", 0, 0.1);
  for (const char* channel : {"left", "right"}) {
    for (const Model& m : models) {
      const bool limited = std::strcmp(m.low, "NULL") != 0 || std::strcmp(m.high, "NULL") != 0;
      add(limited ? key++ : -1, m.figure, channel, 0, "NULL", m.unit, m.low, m.high, m.mean, m.sd);
    }
  }
  for (const char* channel : {"left", "right"}) {
    for (int tone = 1; tone <= 16; ++tone) {
      const std::string nominal = std::to_string(hz[tone - 1]);
      add(-1, "response", channel, tone, nominal.c_str(), "dB", "-3", "1", hz[tone - 1] == 1000 ? 0 : -0.2,
          hz[tone - 1] == 1000 ? 1e-9 : 0.3);
    }
  }
  return "(VALUES " + values + ") AS f(k, figure, channel, tone, hz, unit, low, high, mean, sd)";
}

constexpr int kFailingFigures = 13;  // the keys Figures() gives

std::vector<std::string> Column(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  std::vector<std::string> values;
  if (PQresultStatus(result) == PGRES_TUPLES_OK) {
    for (int row = 0; row < PQntuples(result); ++row) values.emplace_back(PQgetvalue(result, row, 0));
  }
  PQclear(result);
  return values;
}

void MakeLine(const std::string& url) {
  ResultsStore store = ResultsStore::Open(url);  // the layout, with its indexes
  if (store.RunCount() > 0) return;
  PGconn* connection = PQconnectdb(url.c_str());
  if (PQstatus(connection) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(connection));
  const auto started = std::chrono::steady_clock::now();
  // The store's own indexes, as it made them, are built again after the
  // runs are in: faster than keeping them up to date row by row.
  const std::vector<std::string> indexes =
      Column(connection, "SELECT indexdef FROM pg_indexes WHERE schemaname = current_schema() AND "
                         "tablename IN ('runs', 'measurements', 'alarms') AND indexname NOT LIKE '%pkey'");
  for (const std::string& name :
       Column(connection, "SELECT indexname FROM pg_indexes WHERE schemaname = current_schema() AND "
                          "tablename IN ('runs', 'measurements', 'alarms') AND indexname NOT LIKE '%pkey'")) {
    Exec(connection, "DROP INDEX " + name);
  }
  Exec(connection, "SET maintenance_work_mem = '1GB'");
  const std::string sha(64, 'a');
  Exec(connection, "INSERT INTO limit_sets VALUES ('" + sha + "', '[total_level]')");
  const double step_ms = static_cast<double>(g_days) * 86400000.0 / static_cast<double>(g_runs);
  const std::string start = "(TIMESTAMPTZ '2026-12-02T00:00:00Z' - INTERVAL '" + std::to_string(g_days) +
                            " days' + (i * " + std::to_string(step_ms) + ") * INTERVAL '1 millisecond')";
  const std::string figures = Figures();
  // Run ids as the stations make them: UUIDs, in no order.
  const std::string id = "CAST(CAST(md5(CAST(i AS TEXT)) AS UUID) AS TEXT)";
  const std::string s = std::to_string(g_stations);
  constexpr long kChunk = 20000;
  Exec(connection, "SELECT setseed(0.24)");
  for (long from = 0; from < g_runs; from += kChunk) {
    const std::string range = "generate_series(" + std::to_string(from) + ", " +
                              std::to_string(std::min(g_runs, from + kChunk) - 1) + ") i";
    Exec(connection, "BEGIN");
    Exec(connection,
         "INSERT INTO runs (run_id, serial, station, operator, started_at, ended_at, analyzer, simulated, "
         "program_version, limits_sha256, product, revision, verdict, result_json, purpose) SELECT " + id +
             ", 'SN' || CASE WHEN i % 37 = 0 AND i >= " + s + " THEN i - " + s + " ELSE i END, "
         "'st-' || lpad(CAST(i % " + s + " AS TEXT), 2, '0'), 'op', " + start + ", " + start +
             " + INTERVAL '3 seconds', 'sim', false, '1', '" + sha + "', 'PB-200', 'A', "
             "CASE WHEN i % 53 = 0 THEN 'FAIL' ELSE 'PASS' END, CAST('{}' AS JSONB), "
             "CASE WHEN i % 500 = 0 THEN 'golden' ELSE 'production' END FROM " + range);
    // Sums of three uniform numbers: near enough normal, and never beyond
    // 3 sigma, so that only the runs made to fail fail.
    Exec(connection,
         "INSERT INTO measurements (run_id, figure, channel, tone, nominal_hz, frequency_hz, value, unit, low, "
         "high, outcome) SELECT " + id + ", f.figure, f.channel, f.tone, f.hz, f.hz, v.value, f.unit, f.low, f.high, "
         "CASE WHEN f.low IS NULL AND f.high IS NULL THEN NULL WHEN v.value < f.low OR v.value > f.high "
         "THEN 'FAIL' ELSE 'PASS' END FROM " + range + " CROSS JOIN " + figures +
             " CROSS JOIN LATERAL (SELECT CASE WHEN i % 53 = 0 AND (i / 53) % " + std::to_string(kFailingFigures) +
             " = f.k THEN COALESCE(f.low - 2 * f.sd, f.high + 2 * f.sd) "
             "ELSE f.mean + f.sd * 2 * (random() + random() + random() - 1.5) END AS value) v");
    Exec(connection, "COMMIT");
    if ((from / kChunk) % 10 == 9) {
      std::cerr << "line_page_benchmark: " << from + kChunk << " runs made\n";
    }
  }
  Exec(connection,
       "INSERT INTO alarms (run_id, station, figure, channel, tone, rule, raised_at, value, centre, sigma) "
       "SELECT r.run_id, r.station, 'total_level', 'left', 0, 'beyond 3 sigma', r.started_at, 0.81, 0.775, 0.01 "
       "FROM generate_series(7, " + std::to_string(g_runs - 1) + ", 1000) i JOIN runs r ON r.run_id = " + id);
  for (const std::string& index : indexes) Exec(connection, index);
  Exec(connection, "VACUUM ANALYZE");
  PQfinish(connection);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cerr << "line_page_benchmark: " << g_runs << " runs from " << g_stations << " stations over " << g_days
            << " days made in " << seconds << " s\n";
}

struct Line {
  std::unique_ptr<PostgresServer> server;
  std::string url;
  Line() {
    if (g_url.empty()) {
      server = std::make_unique<PostgresServer>();
      url = server->Url();
    } else {
      url = g_url;
    }
    MakeLine(url);
  }
};

Line& TheLine() {
  static Line line;
  return line;
}

void LinePageData(benchmark::State& state) {
  const auto db = OpenStoreReadOnly(TheLine().url);
  std::size_t stations = 0;
  for (auto _ : state) {
    const nlohmann::json page = server::LineJson(ReadLineSummary(*db, kPeriods), kPeriods);
    stations = page["stations"].size();
    benchmark::DoNotOptimize(page);
  }
  state.counters["stations"] = static_cast<double>(stations);
  state.counters["runs_today"] = static_cast<double>(g_runs) / static_cast<double>(g_days);
}
// The time is the page's wait (the store works, this process mostly waits).
BENCHMARK(LinePageData)->Unit(benchmark::kMillisecond)->UseRealTime();

void StationChartData(benchmark::State& state, ChartKey key) {
  const auto db = OpenStoreReadOnly(TheLine().url);
  std::size_t points = 0;
  for (auto _ : state) {
    const StationChart chart = ReadStationChart(*db, key, server::kChartPoints);
    points = chart.points.size();
    benchmark::DoNotOptimize(server::ChartJson(key, chart));
  }
  state.counters["points"] = static_cast<double>(points);
}
BENCHMARK_CAPTURE(StationChartData, level, ChartKey{"st-07", "total_level", "left", 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(StationChartData, response_tone, ChartKey{"st-07", "response", "right", 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace multitone::testing

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--url=", 6) == 0) {
      multitone::testing::g_url = argv[i] + 6;
      continue;
    }
    long* flag = nullptr;
    const char* value = nullptr;
    for (auto [name, target] : {std::pair{"--runs=", &multitone::testing::g_runs},
                                {"--stations=", &multitone::testing::g_stations},
                                {"--days=", &multitone::testing::g_days}}) {
      if (std::strncmp(argv[i], name, std::strlen(name)) == 0) flag = target, value = argv[i] + std::strlen(name);
    }
    if (flag == nullptr) {
      rest.push_back(argv[i]);
      continue;
    }
    char* end = nullptr;
    *flag = std::strtol(value, &end, 10);
    if (*end != '\0' || *flag < 1) {
      std::cerr << "line_page_benchmark: " << argv[i] << " is not a whole number from 1 up\n";
      return 2;
    }
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
