#pragma once
// The SQLite library, loaded when the first SQLite store (or spool) is
// opened instead of when the program starts: a run that stores nothing has
// no use for it. Only the functions the store calls, each under its name
// without the sqlite3_ prefix.
#include <sqlite3.h>

namespace multitone {

struct SqliteFunctions {
  decltype(&::sqlite3_bind_double) bind_double;
  decltype(&::sqlite3_bind_int64) bind_int64;
  decltype(&::sqlite3_bind_null) bind_null;
  decltype(&::sqlite3_bind_parameter_count) bind_parameter_count;
  decltype(&::sqlite3_bind_text) bind_text;
  decltype(&::sqlite3_busy_timeout) busy_timeout;
  decltype(&::sqlite3_close) close;
  decltype(&::sqlite3_column_bytes) column_bytes;
  decltype(&::sqlite3_column_double) column_double;
  decltype(&::sqlite3_column_int64) column_int64;
  decltype(&::sqlite3_column_text) column_text;
  decltype(&::sqlite3_column_type) column_type;
  decltype(&::sqlite3_errmsg) errmsg;
  decltype(&::sqlite3_finalize) finalize;
  decltype(&::sqlite3_get_autocommit) get_autocommit;
  decltype(&::sqlite3_open_v2) open_v2;
  decltype(&::sqlite3_prepare_v2) prepare_v2;
  decltype(&::sqlite3_reset) reset;
  decltype(&::sqlite3_step) step;
};

// libsqlite3.so.0's functions, loaded on the first call. Throws StoreError,
// naming Debian's libsqlite3-0 package, when the library or one of them is
// missing; a call that throws leaves the next to try again.
const SqliteFunctions& Sqlite();

}  // namespace multitone
