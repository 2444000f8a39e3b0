#include "store/database.h"

namespace multitone {

Transaction::Transaction(Database& db) : db_(db) {
  db_.ExecuteScript(db_.engine() == Engine::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    db_.ExecuteScript("ROLLBACK");
  } catch (const StoreError&) {
    // The connection is gone: the server rolls back by itself.
  }
}

void Transaction::Commit() {
  db_.ExecuteScript("COMMIT");
  open_ = false;
}

}  // namespace multitone
