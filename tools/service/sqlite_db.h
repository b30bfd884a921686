#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

namespace tarvex::search {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Each throws std::runtime_error carrying SQLite's message when the step fails.
[[nodiscard]] Database openDatabase(const std::string& uri, int flags);
void execute(sqlite3* db, const char* sql);
[[nodiscard]] Statement prepare(sqlite3* db, std::string_view sql);
void check(sqlite3* db, int status, std::string_view what);

// Binds UTF-8 text that SQLite copies.
void bindText(sqlite3* db, sqlite3_stmt* statement, int index, std::string_view text);
// A text column as a view (valid until the next step); empty for NULL.
[[nodiscard]] std::string_view columnText(sqlite3_stmt* statement, int column);

} // namespace tarvex::search
