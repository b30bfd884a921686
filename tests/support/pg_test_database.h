#pragma once

#include "support/pg_cluster.h"

#include <memory>
#include <string>

namespace tarvex::test {

// A database of a test process's own. A ctest run starts one cluster for the tests that need
// one (TARVEX_TEST_CLUSTER names its folder) and each test process makes its databases there,
// dropped when it ends; run alone, a test process starts a cluster of its own.
class PgTestDatabase {
public:
    // Why there is none (no server installed), or empty.
    [[nodiscard]] static std::string unavailable();

    // Throws std::runtime_error when the database cannot be made.
    PgTestDatabase();
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    // The libpq connection string of the database.
    [[nodiscard]] const std::string& conninfo() const { return m_conninfo; }
    [[nodiscard]] const std::string& name() const { return m_name; }
    // Another database of this process on the same server, empty; dropped at the end too.
    [[nodiscard]] std::string freshDatabase(const std::string& suffix);

private:
    [[nodiscard]] std::string serverConninfo(const std::string& database) const;
    void make(const std::string& database);

    std::unique_ptr<PgCluster> m_own;
    std::string m_host;
    std::string m_name;
    std::string m_conninfo;
    std::vector<std::string> m_made;
};

} // namespace tarvex::test
