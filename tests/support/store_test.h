#pragma once

#include "support/pg_test_database.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarvex::test {

// Where a test's store lives: the service's own (memory or a SQLite file) or a PostgreSQL
// database on the test run's cluster.
enum class Store { Local, PostgreSQL };

// Cases that hold both kinds of a store: TEST_P over StoreTest, instantiated with kBothStores.
class StoreTest : public testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        if (GetParam() == Store::PostgreSQL) {
            const std::string unavailable = PgTestDatabase::unavailable();
            if (!unavailable.empty()) {
                GTEST_SKIP() << unavailable;
            }
            m_database = std::make_unique<PgTestDatabase>();
        }
    }

    [[nodiscard]] bool onPostgreSQL() const { return GetParam() == Store::PostgreSQL; }
    // The test's database (PostgreSQL only).
    [[nodiscard]] PgTestDatabase& database() const { return *m_database; }

private:
    std::unique_ptr<PgTestDatabase> m_database;
};

inline const auto kBothStores = testing::Values(Store::Local, Store::PostgreSQL);

inline std::string storeName(const testing::TestParamInfo<Store>& info) {
    return info.param == Store::Local ? "Local" : "PostgreSQL";
}

} // namespace tarvex::test
