#pragma once
// The few places where the two engines' SQL differs: column types, and how a
// time is written and read (text on SQLite, timestamptz on PostgreSQL).
#include <string>

#include "store/database.h"

namespace multitone {

// Replaces {TIME}, {BOOL}, {JSON} and {DOUBLE} with the engine's types, and
// {CLUSTERED} after a table with its storage by primary key.
std::string WithTypes(Engine engine, std::string sql);
// Parameter $n holding an ISO time / a JSON text, as the engine takes it.
std::string TimeParam(Engine engine, int n);
std::string JsonParam(Engine engine, int n);
// The names of the tables in the store's database (its schema on
// PostgreSQL; SQLite's own sqlite_* tables left out).
std::string TableNamesQuery(Engine engine);
// A time column read back as "2026-12-07T11:58:15.123Z".
std::string TimeText(Engine engine, const std::string& column);

}  // namespace multitone
