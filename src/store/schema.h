#pragma once
// The results store's tables, the same on both engines, created on first
// use. `schema_version` says which layout a database has, for later
// migrations; a database written by a newer layout is refused.
#include "store/database.h"

namespace multitone {

inline constexpr int kSchemaVersion = 1;

// Creates what is missing. Throws StoreError.
void EnsureSchema(Database& db);

}  // namespace multitone
