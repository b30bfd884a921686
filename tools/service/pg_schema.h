#pragma once

#include "service/pg_connection.h"

#include <span>

namespace tarvex::search {

// Runs `statements` (CREATE ... IF NOT EXISTS) in one transaction on a server that takes
// writes, holding the database's schema lock: two services starting on one database at once
// would otherwise both create a table and one of them fail. Throws std::runtime_error.
void createSchema(PgConnection& connection, std::span<const char* const> statements);

// Ends the session's open transaction, if the session is still there.
void rollBack(PgConnection& connection) noexcept;

} // namespace tarvex::search
