#pragma once
// Where results go, as given to --results: "sqlite:PATH" or a plain path
// ending in ".db" or ".sqlite" for SQLite; a libpq connection string starting
// with "postgres" ("postgresql://host/db", "postgres://...") for PostgreSQL.
#include <memory>
#include <optional>
#include <string>

#include "store/database.h"

namespace multitone {

struct ResultsUrl {
  Engine engine = Engine::Sqlite;
  std::string target;  // the SQLite file, or the libpq connection string
};

// Empty when `url` names neither engine.
std::optional<ResultsUrl> ParseResultsUrl(const std::string& url);

std::unique_ptr<Database> OpenDatabase(const ResultsUrl& url);

// The spool of runs on their way to PostgreSQL when --spool is not given:
// multitone-spool.db in $XDG_STATE_HOME, else in ~/.local/state (created
// when missing).
std::string DefaultSpoolPath();

}  // namespace multitone
