#pragma once

#include "service/lease_pool.h"
#include "service/sqlite_db.h"

#include <cstddef>
#include <string>

namespace tarvex::search {

// One read-only connection to the index with its prepared queries.
struct IndexReader {
    Database db;
    Statement matches; // rowids of the documents matching ?1, best first
    // Rowid, title and snippet of the documents in the JSON array ?2, the terms of ?1 marked.
    Statement marked;
};

// The index readers shared by the request threads.
class ReaderPool : public LeasePool<IndexReader> {
public:
    // Opens `size` readers on the database at `uri` (a read-only SQLite URI).
    ReaderPool(const std::string& uri, std::size_t size);
};

} // namespace tarvex::search
