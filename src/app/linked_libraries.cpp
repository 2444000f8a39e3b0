#include "app/linked_libraries.h"

#include <sqlite3.h>

namespace multitone {
namespace {

#define MULTITONE_LINKED(function) LinkedFunction{#function, reinterpret_cast<void*>(&function)}

// The functions the store takes (store/sqlite_library.cpp).
const LinkedFunction kSqlite[] = {
    MULTITONE_LINKED(sqlite3_bind_double),    MULTITONE_LINKED(sqlite3_bind_int64),
    MULTITONE_LINKED(sqlite3_bind_null),      MULTITONE_LINKED(sqlite3_bind_parameter_count),
    MULTITONE_LINKED(sqlite3_bind_text),      MULTITONE_LINKED(sqlite3_busy_timeout),
    MULTITONE_LINKED(sqlite3_close),          MULTITONE_LINKED(sqlite3_column_bytes),
    MULTITONE_LINKED(sqlite3_column_double),  MULTITONE_LINKED(sqlite3_column_int64),
    MULTITONE_LINKED(sqlite3_column_text),    MULTITONE_LINKED(sqlite3_column_type),
    MULTITONE_LINKED(sqlite3_errmsg),         MULTITONE_LINKED(sqlite3_finalize),
    MULTITONE_LINKED(sqlite3_get_autocommit), MULTITONE_LINKED(sqlite3_open_v2),
    MULTITONE_LINKED(sqlite3_prepare_v2),     MULTITONE_LINKED(sqlite3_reset),
    MULTITONE_LINKED(sqlite3_step),
};

#undef MULTITONE_LINKED

const LinkedLibrary kLibraries[] = {{"libsqlite3.so.0", kSqlite}};

}  // namespace

std::span<const LinkedLibrary> LinkedLibraries() { return kLibraries; }

}  // namespace multitone
