#include "service/reader_pool.h"

namespace tarvex::search {
namespace {

std::vector<std::unique_ptr<IndexReader>> openReaders(const std::string& uri, std::size_t size) {
    std::vector<std::unique_ptr<IndexReader>> readers;
    readers.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        auto reader = std::make_unique<IndexReader>();
        reader->db =
            openDatabase(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
        // Pages come from the shared mapping of the file, not from a cache per reader.
        execute(reader->db.get(), "PRAGMA mmap_size=1073741824; PRAGMA cache_size=-256;");
        reader->matches =
            prepare(reader->db.get(), "SELECT rowid FROM docs WHERE docs MATCH ?1 ORDER BY rank");
        reader->marked = prepare(
            reader->db.get(),
            "SELECT rowid, highlight(docs, 0, x'01', x'02'),"
            " snippet(docs, 2, x'01', x'02', x'012e2e2e02', 24)"
            " FROM docs WHERE docs MATCH ?1 AND rowid IN (SELECT value FROM json_each(?2))");
        readers.push_back(std::move(reader));
    }
    return readers;
}

} // namespace

ReaderPool::ReaderPool(const std::string& uri, std::size_t size)
    : LeasePool(openReaders(uri, size)) {}

} // namespace tarvex::search
