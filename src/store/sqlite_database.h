#pragma once
// The SQLite engine: one file per station, shared by its processes. WAL mode,
// synchronous=FULL (a committed run survives a power cut) and a busy timeout,
// so a process that finds the file locked waits instead of failing.
#include <memory>
#include <string>

#include "store/database.h"

namespace multitone {

inline constexpr int kSqliteBusyTimeoutMs = 30000;

std::unique_ptr<Database> OpenSqlite(const std::string& path);

}  // namespace multitone
