#include "store/sqlite_library.h"

#include <string>

#include "common/shared_library.h"
#include "store/database.h"

namespace multitone {
namespace {

constexpr const char* kSqlite = "libsqlite3.so.0";

// The library's handle is never closed: its functions are used until exit.
SqliteFunctions Load() {
  std::string why;
  void* library = OpenSharedLibrary(kSqlite, why);
  if (library == nullptr) {
    throw StoreError(std::string("SQLite: cannot load the library ") + kSqlite +
                     " (Debian package libsqlite3-0): " + why);
  }
  SqliteFunctions functions{};
  const auto bind = [library](auto& function, const char* name) {
    if (!TakeSharedLibraryFunction(library, name, function)) {
      throw StoreError(std::string("SQLite: ") + kSqlite + " has no " + name);
    }
  };
  bind(functions.bind_double, "sqlite3_bind_double");
  bind(functions.bind_int64, "sqlite3_bind_int64");
  bind(functions.bind_null, "sqlite3_bind_null");
  bind(functions.bind_parameter_count, "sqlite3_bind_parameter_count");
  bind(functions.bind_text, "sqlite3_bind_text");
  bind(functions.busy_timeout, "sqlite3_busy_timeout");
  bind(functions.close, "sqlite3_close");
  bind(functions.column_bytes, "sqlite3_column_bytes");
  bind(functions.column_double, "sqlite3_column_double");
  bind(functions.column_int64, "sqlite3_column_int64");
  bind(functions.column_text, "sqlite3_column_text");
  bind(functions.column_type, "sqlite3_column_type");
  bind(functions.errmsg, "sqlite3_errmsg");
  bind(functions.finalize, "sqlite3_finalize");
  bind(functions.get_autocommit, "sqlite3_get_autocommit");
  bind(functions.open_v2, "sqlite3_open_v2");
  bind(functions.prepare_v2, "sqlite3_prepare_v2");
  bind(functions.reset, "sqlite3_reset");
  bind(functions.step, "sqlite3_step");
  return functions;
}

}  // namespace

const SqliteFunctions& Sqlite() {
  static const SqliteFunctions functions = Load();
  return functions;
}

}  // namespace multitone
