#include "store/schema.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <set>
#include <string>
#include <vector>

#include "store/dialect.h"

namespace multitone {
namespace {

// A control-chart alarm, raised once per rule firing: the run that completed
// the rule's pattern, the chart (figure, channel, tone) and the rule. The
// acknowledgement says who saw it and when.
constexpr const char* kAlarms = R"sql(
CREATE TABLE IF NOT EXISTS alarms (
  run_id TEXT NOT NULL REFERENCES runs (run_id),
  station TEXT NOT NULL,
  figure TEXT NOT NULL,
  channel TEXT NOT NULL,
  tone INTEGER NOT NULL,
  rule TEXT NOT NULL,
  raised_at {TIME} NOT NULL,
  value {DOUBLE} NOT NULL,
  centre {DOUBLE} NOT NULL,
  sigma {DOUBLE} NOT NULL,
  acknowledged_by TEXT,
  acknowledged_at {TIME},
  acknowledge_note TEXT,
  PRIMARY KEY (run_id, figure, channel, tone, rule));
CREATE INDEX IF NOT EXISTS alarms_station ON alarms (station, raised_at);
)sql";

// The runs of one golden check or study, found by its tag.
constexpr const char* kTagIndex = R"sql(
CREATE INDEX IF NOT EXISTS runs_tag ON runs (tag, started_at) WHERE tag IS NOT NULL;
)sql";

// A station's runs under each limits file, newest last: where its control
// charts' stretch begins is found by a few seeks, not by reading its whole
// history. Added to stores of this layout that lack it; a store without it
// gives the same answers, more slowly, so programs of this layout before it
// read and write such a store unchanged.
constexpr const char* kStationLimitsIndexName = "runs_station_limits";
constexpr const char* kStationLimitsIndex = R"sql(
CREATE INDEX IF NOT EXISTS runs_station_limits ON runs (station, purpose, limits_sha256, started_at);
)sql";

// Layout 1 to 2: runs say what they were for ("production", "golden",
// "study") and which check or study they belong to; alarms are kept; the
// line page finds a station's newest runs and the limits they were judged
// against by the station's own index (its charts), and a run's figures
// (tone 0) with their values by another (the day's spreads).
constexpr const char* kFromVersion1 = R"sql(
ALTER TABLE runs ADD COLUMN purpose TEXT NOT NULL DEFAULT 'production';
ALTER TABLE runs ADD COLUMN tag TEXT;
CREATE INDEX IF NOT EXISTS runs_station_purpose ON runs (station, purpose, started_at);
CREATE INDEX IF NOT EXISTS runs_station ON runs (station, started_at, limits_sha256, purpose);
CREATE INDEX IF NOT EXISTS measurements_run_figures ON measurements (run_id, figure, channel, value)
  WHERE tone = 0;
)sql";

constexpr const char* kTables = R"sql(
CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS limit_sets (
  sha256 TEXT PRIMARY KEY,
  content TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS runs (
  run_id TEXT PRIMARY KEY,
  serial TEXT,
  station TEXT NOT NULL,
  operator TEXT,
  started_at {TIME} NOT NULL,
  ended_at {TIME} NOT NULL,
  analyzer TEXT NOT NULL,
  simulated {BOOL} NOT NULL,
  program_version TEXT NOT NULL,
  limits_sha256 TEXT REFERENCES limit_sets (sha256),
  product TEXT,
  revision TEXT,
  verdict TEXT NOT NULL,
  error_number INTEGER,
  error_step TEXT,
  error_text TEXT,
  result_json {JSON} NOT NULL,
  purpose TEXT NOT NULL DEFAULT 'production',
  tag TEXT);
CREATE INDEX IF NOT EXISTS runs_serial ON runs (serial, started_at);
CREATE INDEX IF NOT EXISTS runs_started_at ON runs (started_at);
CREATE INDEX IF NOT EXISTS runs_station_purpose ON runs (station, purpose, started_at);
CREATE INDEX IF NOT EXISTS runs_station ON runs (station, started_at, limits_sha256, purpose);
CREATE TABLE IF NOT EXISTS measurements (
  run_id TEXT NOT NULL REFERENCES runs (run_id),
  figure TEXT NOT NULL,
  channel TEXT NOT NULL,
  tone INTEGER NOT NULL,
  nominal_hz {DOUBLE},
  frequency_hz {DOUBLE},
  value {DOUBLE},
  unit TEXT NOT NULL,
  low {DOUBLE},
  high {DOUBLE},
  outcome TEXT,
  PRIMARY KEY (run_id, figure, channel, tone)){CLUSTERED};
CREATE INDEX IF NOT EXISTS measurements_figure ON measurements (figure, channel, tone, value);
CREATE INDEX IF NOT EXISTS measurements_failed ON measurements (figure, channel, run_id)
  WHERE outcome = 'FAIL';
CREATE INDEX IF NOT EXISTS measurements_run_figures ON measurements (run_id, figure, channel, value)
  WHERE tone = 0;
)sql";

// The store's own tables.
constexpr std::array<const char*, 5> kOwnTables = {"schema_version", "limit_sets", "runs",
                                                   "measurements", "alarms"};
// The tables of layout 1, the first.
constexpr std::size_t kVersion1Tables = 4;

std::set<std::string> TableNames(Database& db) {
  std::set<std::string> names;
  db.Query(TableNamesQuery(db.engine()), {}, [&](const SqlRow& row) { names.insert(row.Text(0)); });
  return names;
}

// The layout's version as stored: one row holding a whole number from 1 up.
std::int64_t StoredVersion(Database& db) {
  std::vector<std::string> rows;  // as text, quoted; NULL bare
  db.Query("SELECT CAST(version AS TEXT) FROM schema_version", {}, [&](const SqlRow& row) {
    rows.push_back(row.IsNull(0) ? "NULL" : "'" + row.Text(0) + "'");
  });
  std::int64_t version = 0;
  if (rows.size() == 1 && rows.front().size() > 2 && rows.front().front() == '\'') {
    const std::string& text = rows.front();
    const char* last = text.data() + text.size() - 1;
    if (std::from_chars(text.data() + 1, last, version).ptr != last) version = 0;
  }
  if (version < 1) {
    std::string seen;
    for (const auto& row : rows) seen += (seen.empty() ? "" : ", ") + row;
    throw StoreError("not a multitone results store: its schema_version holds " +
                     (rows.empty() ? std::string("no row") : seen) + ", not one layout number");
  }
  if (version > kSchemaVersion) {
    throw StoreError("the results store has schema version " + std::to_string(version) +
                     ", newer than this program's " + std::to_string(kSchemaVersion));
  }
  return version;
}

bool HasIndex(Database& db, const std::string& name) {
  bool found = false;
  db.Query(db.engine() == Engine::Sqlite
               ? "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = $1"
               : "SELECT 1 FROM pg_indexes WHERE schemaname = current_schema() AND indexname = $1",
           {name}, [&](const SqlRow&) { found = true; });
  return found;
}

// A store of this layout made before runs_station_limits gets it, once, by
// the first station that opens it to write. A station that may not change
// the store's tables (another role owns them) uses it as it is.
void AddMissingIndex(Database& db) {
  if (HasIndex(db, kStationLimitsIndexName)) return;
  try {
    Transaction transaction(db);
    if (db.engine() == Engine::Postgres) db.Execute("SELECT pg_advisory_xact_lock(7402913)");
    db.ExecuteScript(kStationLimitsIndex);
    transaction.Commit();
  } catch (const StoreError&) {
  }
}

}  // namespace

Layout ReadLayout(Database& db) {
  const std::set<std::string> tables = TableNames(db);
  if (!tables.count("schema_version")) {
    std::string found;
    for (const std::string& name : tables) {
      const bool own = std::find(kOwnTables.begin(), kOwnTables.end(), name) != kOwnTables.end();
      // A SQLite file belongs to one program; a PostgreSQL database may hold
      // other programs' tables beside ours.
      if (own || db.engine() == Engine::Sqlite) found += (found.empty() ? "" : ", ") + name;
    }
    if (found.empty()) return Layout::None;
    throw StoreError("not a multitone results store: it has tables (" + found +
                     ") and no schema_version; it is left as it is");
  }
  const bool old = StoredVersion(db) < kSchemaVersion;
  for (std::size_t i = 0; i < (old ? kVersion1Tables : kOwnTables.size()); ++i) {
    if (!tables.count(kOwnTables[i])) {
      throw StoreError(std::string("the results store has no table ") + kOwnTables[i]);
    }
  }
  return old ? Layout::Older : Layout::Ours;
}

void EnsureSchema(Database& db) {
  // Read first: a database that is not ours, or is newer, is left untouched.
  const Layout seen = ReadLayout(db);
  if (seen == Layout::Ours) {
    AddMissingIndex(db);
    return;
  }
  if (seen == Layout::None && db.engine() == Engine::Sqlite) {
    // The file keeps its WAL mode. SQLite switches only outside a
    // transaction; stations switching a new file at once wait for each other.
    db.Query("PRAGMA journal_mode=WAL", {}, [](const SqlRow&) {});
  }
  Transaction transaction(db);
  // Stations starting together must not race to create the same tables.
  if (db.engine() == Engine::Postgres) db.Execute("SELECT pg_advisory_xact_lock(7402913)");
  switch (ReadLayout(db)) {
    case Layout::None:
      db.ExecuteScript(WithTypes(db.engine(), std::string(kTables) + kAlarms + kTagIndex + kStationLimitsIndex));
      db.Execute("INSERT INTO schema_version (version) VALUES ($1)", {std::int64_t{kSchemaVersion}});
      break;
    case Layout::Older:
      // Only layout 1 is older than this program's; every run it holds was
      // a production run.
      db.ExecuteScript(WithTypes(db.engine(), std::string(kFromVersion1) + kAlarms + kTagIndex + kStationLimitsIndex));
      db.Execute("UPDATE schema_version SET version = $1", {std::int64_t{kSchemaVersion}});
      break;
    case Layout::Ours:
      break;
  }
  transaction.Commit();
}

}  // namespace multitone
