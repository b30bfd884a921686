#include "service/reader_pool.h"

namespace tarvex::search {

ReaderPool::ReaderPool(const std::string& uri, std::size_t size) {
    m_readers.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        IndexReader reader;
        reader.db = openDatabase(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
        // Pages come from the shared mapping of the file, not from a cache per reader.
        execute(reader.db.get(), "PRAGMA mmap_size=1073741824; PRAGMA cache_size=-256;");
        reader.matches =
            prepare(reader.db.get(), "SELECT rowid FROM docs WHERE docs MATCH ?1 ORDER BY rank");
        reader.marked = prepare(
            reader.db.get(),
            "SELECT rowid, highlight(docs, 0, x'01', x'02'),"
            " snippet(docs, 2, x'01', x'02', x'012e2e2e02', 24)"
            " FROM docs WHERE docs MATCH ?1 AND rowid IN (SELECT value FROM json_each(?2))");
        m_readers.push_back(std::move(reader));
    }
    for (IndexReader& reader : m_readers) {
        m_free.push_back(&reader);
    }
}

ReaderPool::Lease ReaderPool::acquire() {
    std::unique_lock lock{m_mutex};
    m_returned.wait(lock, [this] { return !m_free.empty(); });
    IndexReader* reader = m_free.back();
    m_free.pop_back();
    return Lease{*this, reader};
}

void ReaderPool::giveBack(IndexReader* reader) {
    {
        const std::lock_guard lock{m_mutex};
        m_free.push_back(reader);
    }
    m_returned.notify_one();
}

} // namespace tarvex::search
