#pragma once
// The PostgreSQL engine, through libpq: one server shared by a line's
// stations. The connection string is libpq's own ("postgresql://...", or
// key=value pairs); passwords come the way libpq takes them (PGPASSWORD,
// ~/.pgpass), never from this program.
#include <memory>
#include <string>

#include "store/database.h"

namespace multitone {

// Seconds to wait for a server that does not answer, unless the connection
// string sets its own connect_timeout.
inline constexpr int kPostgresConnectTimeoutS = 10;

std::unique_ptr<Database> OpenPostgres(const std::string& connection);

}  // namespace multitone
