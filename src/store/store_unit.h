#pragma once
// The run's side of the results store: keep the judged unit before its
// verdict is shown, forward to the server after.
#include <string>

#include "store/run_storage.h"
#include "verdict/unit_result.h"

namespace multitone {

// Keeps the unit's result durably (SQLite file, or the spool on its way to
// PostgreSQL). Empty on success, else the reason it could not be stored.
std::string KeepUnit(const RunStorage& storage, const UnitResult& unit);
std::string KeepUnit(StoreSession& session, const UnitResult& unit);

// Forwards the spool to PostgreSQL; empty when every run got there (or with
// SQLite), else one line for stderr saying what is kept locally only.
std::string ForwardKeptRuns(const RunStorage& storage);
std::string ForwardKeptRuns(StoreSession& session);

}  // namespace multitone
