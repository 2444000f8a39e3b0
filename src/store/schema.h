#pragma once
// The results store's tables, the same on both engines, created on first
// use. `schema_version` says which layout a database has, for later
// migrations. The layout is read before anything is written: a database
// that is not ours (a SQLite file with other tables, a schema_version that
// is not one whole number from 1 up) or is newer is refused untouched.
#include "store/database.h"

namespace multitone {

inline constexpr int kSchemaVersion = 2;

// Older: an earlier layout of ours, brought up to date by EnsureSchema.
enum class Layout { None, Older, Ours };

// Which layout the database has, changing nothing: None for a database
// with none of our tables (and, on SQLite, no tables at all). Throws
// StoreError for one that is not ours or newer.
Layout ReadLayout(Database& db);

// Lays out a new store (and switches a new SQLite file to WAL), or brings
// an older layout up to date in one transaction, or adds to a store of this
// layout the index it was made without. Throws StoreError.
void EnsureSchema(Database& db);

}  // namespace multitone
