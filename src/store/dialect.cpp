#include "store/dialect.h"

#include <array>
#include <utility>

namespace multitone {

std::string WithTypes(Engine engine, std::string sql) {
  const bool pg = engine == Engine::Postgres;
  const std::array<std::pair<std::string, std::string>, 5> types = {{
      // SQLite keeps a run's measurements together, in key order.
      {"{CLUSTERED}", pg ? "" : " WITHOUT ROWID"},
      {"{TIME}", pg ? "TIMESTAMPTZ" : "TEXT"},
      {"{BOOL}", pg ? "BOOLEAN" : "INTEGER"},
      {"{JSON}", pg ? "JSONB" : "TEXT"},
      {"{DOUBLE}", pg ? "DOUBLE PRECISION" : "REAL"},  // REAL is 64 bits in SQLite
  }};
  for (const auto& [name, type] : types) {
    for (auto at = sql.find(name); at != std::string::npos; at = sql.find(name, at)) {
      sql.replace(at, name.size(), type);
    }
  }
  return sql;
}

std::string TimeParam(Engine engine, int n) {
  const std::string param = "$" + std::to_string(n);
  return engine == Engine::Postgres ? "CAST(" + param + " AS TIMESTAMPTZ)" : param;
}

std::string JsonParam(Engine engine, int n) {
  const std::string param = "$" + std::to_string(n);
  return engine == Engine::Postgres ? "CAST(" + param + " AS JSONB)" : param;
}

std::string TableNamesQuery(Engine engine) {
  if (engine == Engine::Postgres) {
    return "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()";
  }
  return "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
}

std::string TimeText(Engine engine, const std::string& column) {
  if (engine == Engine::Sqlite) return column;
  return "to_char(" + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
}

}  // namespace multitone
