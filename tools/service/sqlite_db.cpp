#include "service/sqlite_db.h"

#include <stdexcept>

namespace tarvex::search {

void check(sqlite3* db, int status, std::string_view what) {
    if (status != SQLITE_OK && status != SQLITE_DONE && status != SQLITE_ROW) {
        throw std::runtime_error(std::string{what} + ": " +
                                 (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(status)));
    }
}

Database openDatabase(const std::string& uri, int flags) {
    // Memory statistics take a global lock on every allocation, which the request threads
    // would contend for; nothing here reads them. Only possible before SQLite starts.
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
    sqlite3* raw = nullptr;
    const int status = sqlite3_open_v2(uri.c_str(), &raw, flags, nullptr);
    Database db{raw};
    check(db.get(), status, "open the index");
    return db;
}

void execute(sqlite3* db, const char* sql) {
    check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

Statement prepare(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* raw = nullptr;
    const int status = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                          SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    Statement statement{raw};
    check(db, status, sql);
    return statement;
}

void bindText(sqlite3* db, sqlite3_stmt* statement, int index, std::string_view text) {
    check(db,
          sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8),
          "bind a value");
}

std::string_view columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (text == nullptr) {
        return {};
    }
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

} // namespace tarvex::search
