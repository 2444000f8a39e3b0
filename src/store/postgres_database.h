#pragma once
// The PostgreSQL engine, through libpq: one server shared by a line's
// stations. The connection string is libpq's own ("postgresql://...", or
// key=value pairs); passwords come the way libpq takes them (PGPASSWORD,
// ~/.pgpass), never from this program.
#include <memory>
#include <string>

#include "store/database.h"

namespace multitone {

// Seconds to wait for a server that does not answer the connection (libpq's
// least), unless the connection string sets its own connect_timeout: a
// server that accepts TCP and says nothing costs a station seconds, and the
// run waits in the spool.
inline constexpr int kPostgresConnectTimeoutS = 2;
// Seconds to wait for the answer to one statement; then the connection is
// given up (the server rolls back what it had of the transaction).
inline constexpr int kPostgresStatementTimeoutS = 10;

std::unique_ptr<Database> OpenPostgres(const std::string& connection);

}  // namespace multitone
