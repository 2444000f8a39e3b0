#pragma once
// A results store opened to be read and never written: SQLite with
// query_only set, PostgreSQL with every transaction read-only. Only a store
// of this program's layout is taken; an older one is left as it is (a
// station of this version brings it up to date when it opens it).
#include <memory>
#include <string>

#include "store/database.h"

namespace multitone {

// Throws StoreError: "no such results store: URL", an older or foreign
// layout, or the engine's own error.
std::unique_ptr<Database> OpenStoreReadOnly(const std::string& url);

}  // namespace multitone
