#include "store/schema.h"

#include <optional>
#include <string>

#include "store/dialect.h"

namespace multitone {
namespace {

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
  result_json {JSON} NOT NULL);
CREATE INDEX IF NOT EXISTS runs_serial ON runs (serial, started_at);
CREATE INDEX IF NOT EXISTS runs_started_at ON runs (started_at);
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
)sql";

std::optional<std::int64_t> StoredVersion(Database& db) {
  std::optional<std::int64_t> version;
  db.Query("SELECT max(version) FROM schema_version", {}, [&](const SqlRow& row) {
    if (!row.IsNull(0)) version = row.Int(0);
  });
  return version;
}

void CheckVersion(std::int64_t version) {
  if (version > kSchemaVersion) {
    throw StoreError("the results store has schema version " + std::to_string(version) +
                     ", newer than this program's " + std::to_string(kSchemaVersion));
  }
}

}  // namespace

void EnsureSchema(Database& db) {
  // The common case, a database already laid out, costs one read.
  try {
    if (const auto version = StoredVersion(db)) {
      CheckVersion(*version);
      return;
    }
  } catch (const StoreError&) {
    // No schema_version table yet.
  }
  Transaction transaction(db);
  // Stations starting together must not race to create the same tables.
  if (db.engine() == Engine::Postgres) db.Execute("SELECT pg_advisory_xact_lock(7402913)");
  db.ExecuteScript(WithTypes(db.engine(), kTables));
  if (const auto version = StoredVersion(db)) {
    CheckVersion(*version);
  } else {
    db.Execute("INSERT INTO schema_version (version) VALUES ($1)",
               {std::int64_t{kSchemaVersion}});
  }
  transaction.Commit();
}

}  // namespace multitone
