#pragma once

#include "service/sqlite_db.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace tarvex::search {

// One read-only connection to the index with its prepared queries.
struct IndexReader {
    Database db;
    Statement matches; // rowids of the documents matching ?1, best first
    // Rowid, title and snippet of the documents in the JSON array ?2, the terms of ?1 marked.
    Statement marked;
};

// A fixed set of readers shared by the request threads; a thread borrows one per request.
class ReaderPool {
public:
    // Opens `size` readers on the database at `uri` (a read-only SQLite URI).
    ReaderPool(const std::string& uri, std::size_t size);

    class Lease {
    public:
        Lease(ReaderPool& pool, IndexReader* reader) : m_pool(pool), m_reader(reader) {}
        ~Lease() { m_pool.giveBack(m_reader); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        IndexReader& operator*() const { return *m_reader; }
        IndexReader* operator->() const { return m_reader; }

    private:
        ReaderPool& m_pool;
        IndexReader* m_reader;
    };

    // Waits until a reader is free.
    [[nodiscard]] Lease acquire();

private:
    void giveBack(IndexReader* reader);

    std::vector<IndexReader> m_readers;
    std::vector<IndexReader*> m_free;
    std::mutex m_mutex;
    std::condition_variable m_returned;
};

} // namespace tarvex::search
