#include "service/index_file.h"

#include "service/sqlite_db.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <unistd.h>

namespace tarvex::search {
namespace {

// Title matches weigh most, then the summary, then the body.
constexpr const char* kSchema =
    "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
    "CREATE VIRTUAL TABLE docs USING fts5(title, summary, body,"
    " tokenize = 'unicode61 remove_diacritics 2');"
    "INSERT INTO docs(docs, rank) VALUES('rank', 'bm25(10.0, 4.0, 1.0)');"
    "CREATE VIRTUAL TABLE terms USING fts5vocab(docs, 'row');";
static_assert(std::string_view{kIndexTokenizer} == "unicode61 remove_diacritics 2",
              "the schema names the same tokenizer");

void fill(sqlite3* db, const std::vector<Document>& documents, std::vector<IndexTerm>& terms) {
    execute(db, kSchema);
    execute(db, "BEGIN");
    const Statement insert =
        prepare(db, "INSERT INTO docs(rowid, title, summary, body) VALUES(?1, ?2, ?3, ?4)");
    for (std::size_t i = 0; i < documents.size(); ++i) {
        const Document& document = documents[i];
        sqlite3_reset(insert.get());
        check(db, sqlite3_bind_int64(insert.get(), 1, static_cast<sqlite3_int64>(i) + 1),
              "bind a rowid");
        bindText(db, insert.get(), 2, document.title);
        bindText(db, insert.get(), 3, document.summary);
        bindText(db, insert.get(), 4, document.body);
        check(db, sqlite3_step(insert.get()), "index a document");
    }
    execute(db, "COMMIT");
    execute(db, "INSERT INTO docs(docs) VALUES('optimize')");
    const Statement vocabulary = prepare(db, "SELECT term, doc FROM terms");
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(vocabulary.get())) == SQLITE_ROW) {
        terms.push_back(IndexTerm{std::string{columnText(vocabulary.get(), 0)},
                                  sqlite3_column_int64(vocabulary.get(), 1)});
    }
    check(db, status, "read the indexed words");
}

} // namespace

std::string writeIndexFile(const std::vector<Document>& documents, std::vector<IndexTerm>& terms) {
    std::string path = (std::filesystem::temp_directory_path() / "tarvex-index-XXXXXX").string();
    const int descriptor = mkstemp(path.data());
    if (descriptor < 0) {
        throw std::runtime_error("cannot create a temporary file for the index");
    }
    close(descriptor);
    try {
        const Database db = openDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
        fill(db.get(), documents, terms);
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
    return path;
}

std::string immutableUri(const std::string& path) {
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

} // namespace tarvex::search
