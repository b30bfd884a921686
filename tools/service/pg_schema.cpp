#include "service/pg_schema.h"

#include <stdexcept>

namespace tarvex::search {
namespace {

// Serialises schema changes of every service on the database (an advisory lock's key).
constexpr const char* kSchemaLock = "7461727665780002";

} // namespace

void createSchema(PgConnection& connection, std::span<const char* const> statements) {
    connection.execute("BEGIN");
    try {
        connection.execute(std::string{"SELECT pg_advisory_xact_lock("} + kSchemaLock + ")");
        for (const char* statement : statements) {
            connection.execute(statement);
        }
        connection.execute("COMMIT");
    } catch (...) {
        rollBack(connection);
        throw;
    }
}

void rollBack(PgConnection& connection) noexcept {
    try {
        connection.execute("ROLLBACK");
    } catch (const std::exception&) {
        // The session is gone; the server rolls back on its own.
    }
}

} // namespace tarvex::search
