#pragma once
// The SQLite engine: one file per station, shared by its processes. WAL mode
// (set when the store is laid out), synchronous=FULL (a committed run
// survives a power cut) and a busy timeout, so a process that finds the file
// locked waits instead of failing, also where SQLite itself would not wait.
#include <memory>
#include <string>

#include "store/database.h"

namespace multitone {

inline constexpr int kSqliteBusyTimeoutMs = 30000;

// Opens the file as it is; with `create` false a missing file is "no such
// results store: PATH". Throws StoreError.
std::unique_ptr<Database> OpenSqlite(const std::string& path, bool create = true);

}  // namespace multitone
