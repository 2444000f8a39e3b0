#include "store/results_store.h"

#include "store/dialect.h"
#include "store/results_url.h"
#include "store/schema.h"
#include "store/sqlite_database.h"

namespace multitone {
namespace {

constexpr int kMeasurementColumns = 11;

SqlValue Int(std::int64_t value) { return SqlValue{value}; }

}  // namespace

ResultsStore::ResultsStore(std::unique_ptr<Database> db) : db_(std::move(db)) {
  EnsureSchema(*db_);
}

namespace {

ResultsUrl Parsed(const std::string& url) {
  const auto parsed = ParseResultsUrl(url);
  if (!parsed) {
    throw StoreError("--results " + url +
                     ": expected sqlite:PATH, a file ending in .db or .sqlite, or postgresql://...");
  }
  return *parsed;
}

}  // namespace

ResultsStore ResultsStore::Open(const std::string& url) {
  return ResultsStore(OpenDatabase(Parsed(url)));
}

ResultsStore ResultsStore::OpenExisting(const std::string& url) {
  const ResultsUrl parsed = Parsed(url);
  auto db = parsed.engine == Engine::Sqlite ? OpenSqlite(parsed.target, false) : OpenDatabase(parsed);
  return OpenExisting(std::move(db), url);
}

ResultsStore ResultsStore::OpenExisting(std::unique_ptr<Database> db, const std::string& name) {
  const Layout layout = ReadLayout(*db);
  if (layout == Layout::None) throw StoreError("no such results store: " + name);
  if (layout == Layout::Older) EnsureSchema(*db);
  return ResultsStore(std::move(db), AsItIs{});
}

std::size_t ResultsStore::Put(std::span<const StoredRun> runs) {
  std::size_t stored = 0;
  Transaction transaction(*db_);
  for (const StoredRun& run : runs) {
    bool is_new = false;
    PutOne(run, is_new);
    stored += is_new ? 1 : 0;
  }
  transaction.Commit();
  return stored;
}

void ResultsStore::PutOne(const StoredRun& run, bool& stored) {
  const Engine engine = db_->engine();
  if (!run.limits_sha256.empty()) {
    db_->Execute(
        "INSERT INTO limit_sets (sha256, content) VALUES ($1, $2) ON CONFLICT (sha256) DO NOTHING",
        {run.limits_sha256, run.limits_content});
  }
  const std::string insert_run =
      "INSERT INTO runs (run_id, serial, station, operator, started_at, ended_at, analyzer, "
      "simulated, program_version, limits_sha256, product, revision, verdict, error_number, "
      "error_step, error_text, result_json, purpose, tag) VALUES ($1, $2, $3, $4, " +
      TimeParam(engine, 5) + ", " + TimeParam(engine, 6) + ", $7, " +
      (engine == Engine::Postgres ? "CAST($8 AS BOOLEAN)" : "$8") +
      ", $9, $10, $11, $12, $13, $14, $15, $16, " + JsonParam(engine, 17) +
      ", $18, $19) ON CONFLICT (run_id) DO NOTHING RETURNING run_id";
  db_->Query(insert_run,
             {run.run_id, TextOrNull(run.serial), run.station, TextOrNull(run.operator_name),
              run.started_at, run.ended_at, run.analyzer, Int(run.simulated ? 1 : 0),
              run.program_version, TextOrNull(run.limits_sha256), TextOrNull(run.product),
              TextOrNull(run.revision), run.verdict,
              run.error_number ? Int(*run.error_number) : SqlValue{}, TextOrNull(run.error_step),
              TextOrNull(run.error_text), run.result_json, run.purpose, TextOrNull(run.tag)},
             [&](const SqlRow&) { stored = true; });
  if (!stored) return;
  PutAlarms(run);
  if (run.measurements.empty()) return;

  // All of a run's measurements in one statement: one round trip to a server.
  std::string insert = "INSERT INTO measurements (run_id, figure, channel, tone, nominal_hz, "
                       "frequency_hz, value, unit, low, high, outcome) VALUES ";
  std::vector<SqlValue> params;
  params.reserve(run.measurements.size() * kMeasurementColumns);
  for (const StoredMeasurement& m : run.measurements) {
    if (!params.empty()) insert += ", ";
    insert += '(';
    for (int column = 0; column < kMeasurementColumns; ++column) {
      insert += (column ? ", $" : "$") + std::to_string(params.size() + 1 + column);
    }
    insert += ')';
    params.insert(params.end(),
                  {run.run_id, m.figure, m.channel, Int(m.tone), DoubleOrNull(m.nominal_hz),
                   DoubleOrNull(m.frequency_hz), DoubleOrNull(m.value), m.unit, DoubleOrNull(m.low),
                   DoubleOrNull(m.high), TextOrNull(m.outcome)});
  }
  db_->Execute(insert, params);
}

void ResultsStore::PutAlarms(const StoredRun& run) {
  const Engine engine = db_->engine();
  for (const RunAlarm& a : run.alarms) {
    // Once per rule firing: a run forwarded again keeps the alarms it has.
    db_->Execute("INSERT INTO alarms (run_id, station, figure, channel, tone, rule, raised_at, value, centre, "
                 "sigma, acknowledged_by, acknowledged_at, acknowledge_note) VALUES ($1, $2, $3, $4, $5, $6, " +
                     TimeParam(engine, 7) + ", $8, $9, $10, $11, " + TimeParam(engine, 12) +
                     ", $13) ON CONFLICT (run_id, figure, channel, tone, rule) DO NOTHING",
                 {run.run_id, run.station, a.figure, a.channel, Int(a.tone), a.rule, a.raised_at, a.value, a.centre,
                  a.sigma, TextOrNull(a.acknowledged_by), TextOrNull(a.acknowledged_at),
                  TextOrNull(a.acknowledge_note)});
  }
}

std::optional<StoredRun> ResultsStore::Get(const std::string& run_id) {
  const Engine engine = db_->engine();
  std::optional<StoredRun> found;
  db_->Query(
      "SELECT r.run_id, r.serial, r.station, r.operator, " + TimeText(engine, "r.started_at") +
          ", " + TimeText(engine, "r.ended_at") +
          ", r.analyzer, CAST(r.simulated AS INTEGER), r.program_version, r.limits_sha256, "
          "l.content, r.product, r.revision, r.verdict, r.error_number, r.error_step, "
          "r.error_text, CAST(r.result_json AS TEXT), r.purpose, r.tag FROM runs r "
          "LEFT JOIN limit_sets l ON l.sha256 = r.limits_sha256 WHERE r.run_id = $1",
      {run_id}, [&](const SqlRow& row) {
        StoredRun& run = found.emplace();
        int c = 0;
        run.run_id = row.Text(c++);
        run.serial = row.Text(c++);
        run.station = row.Text(c++);
        run.operator_name = row.Text(c++);
        run.started_at = row.Text(c++);
        run.ended_at = row.Text(c++);
        run.analyzer = row.Text(c++);
        run.simulated = row.Int(c++) != 0;
        run.program_version = row.Text(c++);
        run.limits_sha256 = row.Text(c++);
        run.limits_content = row.Text(c++);
        run.product = row.Text(c++);
        run.revision = row.Text(c++);
        run.verdict = row.Text(c++);
        if (!row.IsNull(c)) run.error_number = static_cast<int>(row.Int(c));
        ++c;
        run.error_step = row.Text(c++);
        run.error_text = row.Text(c++);
        run.result_json = row.Text(c++);
        run.purpose = row.Text(c++);
        run.tag = row.Text(c++);
      });
  if (!found) return found;
  db_->Query(
      "SELECT figure, channel, tone, nominal_hz, frequency_hz, value, unit, low, high, outcome "
      "FROM measurements WHERE run_id = $1 ORDER BY tone, channel, figure",
      {run_id}, [&](const SqlRow& row) {
        StoredMeasurement& m = found->measurements.emplace_back();
        m.figure = row.Text(0);
        m.channel = row.Text(1);
        m.tone = static_cast<int>(row.Int(2));
        m.nominal_hz = row.OptionalDouble(3);
        m.frequency_hz = row.OptionalDouble(4);
        m.value = row.OptionalDouble(5);
        m.unit = row.Text(6);
        m.low = row.OptionalDouble(7);
        m.high = row.OptionalDouble(8);
        m.outcome = row.Text(9);
      });
  db_->Query("SELECT figure, channel, tone, rule, " + TimeText(engine, "raised_at") +
                 ", value, centre, sigma, acknowledged_by, " + TimeText(engine, "acknowledged_at") +
                 ", acknowledge_note FROM alarms WHERE run_id = $1 ORDER BY figure, channel, tone, rule",
             {run_id}, [&](const SqlRow& row) {
               found->alarms.push_back({row.Text(0), row.Text(1), static_cast<int>(row.Int(2)), row.Text(3),
                                        row.Text(4), row.Double(5), row.Double(6), row.Double(7), row.Text(8),
                                        row.Text(9), row.Text(10)});
             });
  return found;
}

std::vector<std::string> ResultsStore::RunIds(std::size_t limit) {
  std::vector<std::string> ids;
  db_->Query("SELECT run_id FROM runs ORDER BY started_at, run_id LIMIT $1",
             {Int(static_cast<std::int64_t>(limit))},
             [&](const SqlRow& row) { ids.push_back(row.Text(0)); });
  return ids;
}

std::size_t ResultsStore::RunCount() {
  std::size_t count = 0;
  db_->Query("SELECT count(*) FROM runs", {},
             [&](const SqlRow& row) { count = static_cast<std::size_t>(row.Int(0)); });
  return count;
}

std::size_t ResultsStore::Delete(std::span<const std::string> run_ids) {
  std::size_t removed = 0;
  Transaction transaction(*db_);
  for (const std::string& id : run_ids) {
    db_->Execute("DELETE FROM alarms WHERE run_id = $1", {id});
    db_->Execute("DELETE FROM measurements WHERE run_id = $1", {id});
    db_->Query("DELETE FROM runs WHERE run_id = $1 RETURNING run_id", {id},
               [&](const SqlRow&) { ++removed; });
  }
  transaction.Commit();
  return removed;
}

}  // namespace multitone
