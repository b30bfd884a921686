#include "service/term_marks.h"

#include "service/html_text.h"
#include "service/index_file.h"
#include "service/query_text.h"
#include "service/sqlite_db.h"

namespace tarvex::search {

struct TermMarker::Db {
    Database db;
    Statement insert;
    Statement marked;
    Statement clear;
};

TermMarker::TermMarker() : m_db(std::make_unique<Db>()) {
    m_db->db = openDatabase(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    execute(m_db->db.get(), (std::string{"CREATE VIRTUAL TABLE texts USING fts5(title, text, "
                                         "tokenize = '"} +
                             kIndexTokenizer + "')")
                                .c_str());
    m_db->insert =
        prepare(m_db->db.get(), "INSERT INTO texts(rowid, title, text) VALUES(?1, ?2, ?3)");
    m_db->marked = prepare(m_db->db.get(),
                           "SELECT rowid, highlight(texts, 0, x'01', x'02'),"
                           " highlight(texts, 1, x'01', x'02') FROM texts WHERE texts MATCH ?1");
    m_db->clear = prepare(m_db->db.get(), "DELETE FROM texts");
}

TermMarker::~TermMarker() = default;

std::vector<MarkedPair> TermMarker::mark(std::string_view query,
                                         const std::vector<MarkedPair>& plain) {
    // The marks are control bytes, so the texts must not bring their own; no control byte
    // belongs in a title or snippet, and a NUL would end the text for the index's functions.
    std::vector<MarkedPair> texts = plain;
    for (MarkedPair& pair : texts) {
        for (std::string* field : {&pair.title, &pair.text}) {
            for (char& c : *field) {
                if (static_cast<unsigned char>(c) < 0x20) {
                    c = ' ';
                }
            }
        }
    }
    std::vector<MarkedPair> html;
    html.reserve(texts.size());
    for (const MarkedPair& pair : texts) {
        html.push_back({markedHtml(pair.title), markedHtml(pair.text)});
    }
    const std::string wanted = translateQuery(query).anyWanted;
    if (wanted.empty() || plain.empty()) {
        return html;
    }
    sqlite3* db = m_db->db.get();
    execute(db, "BEGIN");
    try {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            sqlite3_stmt* insert = m_db->insert.get();
            sqlite3_reset(insert);
            check(db, sqlite3_bind_int64(insert, 1, static_cast<sqlite3_int64>(i)), "bind a row");
            bindText(db, insert, 2, texts[i].title);
            bindText(db, insert, 3, texts[i].text);
            check(db, sqlite3_step(insert), "keep a text to mark");
        }
        sqlite3_stmt* marked = m_db->marked.get();
        sqlite3_reset(marked);
        bindText(db, marked, 1, wanted);
        int status = SQLITE_ROW;
        while ((status = sqlite3_step(marked)) == SQLITE_ROW) {
            const auto row = static_cast<std::size_t>(sqlite3_column_int64(marked, 0));
            if (row < html.size()) {
                html[row] = {markedHtml(columnText(marked, 1)), markedHtml(columnText(marked, 2))};
            }
        }
        check(db, status, "mark the query terms");
        sqlite3_reset(m_db->clear.get());
        check(db, sqlite3_step(m_db->clear.get()), "forget the texts");
        execute(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return html;
}

} // namespace tarvex::search
