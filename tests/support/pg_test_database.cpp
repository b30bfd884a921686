#include "support/pg_test_database.h"

#include "service/pg_connection.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace tarvex::test {
namespace {

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in{file};
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

std::string PgTestDatabase::unavailable() {
    return PgCluster::findBinaries() ? std::string{}
                                     : "no PostgreSQL server found under /usr/lib/postgresql/*/bin";
}

PgTestDatabase::PgTestDatabase() : m_name("test_" + std::to_string(::getpid())) {
    const char* shared = std::getenv("TARVEX_TEST_CLUSTER");
    if (shared != nullptr && std::filesystem::exists(std::filesystem::path{shared} / "port")) {
        const std::filesystem::path folder{shared};
        m_host = "host=127.0.0.1 port=" + firstLine(folder / "port") +
                 " user=" + firstLine(folder / "user");
    } else {
        const auto binaries = PgCluster::findBinaries();
        if (!binaries) {
            throw std::runtime_error(unavailable());
        }
        m_own = std::make_unique<PgCluster>(*binaries);
        m_host = "host=127.0.0.1 port=" + std::to_string(m_own->port()) + " user=" + m_own->user();
    }
    make(m_name);
    m_conninfo = serverConninfo(m_name);
}

PgTestDatabase::~PgTestDatabase() {
    if (m_own) {
        return; // the cluster goes with its databases
    }
    try {
        search::PgConnection admin{serverConninfo("postgres")};
        for (const std::string& database : m_made) {
            static_cast<void>(
                admin.execute("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)"));
        }
    } catch (const std::exception&) {
        // Removed with the cluster at the end of the run.
    }
}

std::string PgTestDatabase::freshDatabase(const std::string& suffix) {
    const std::string database = m_name + "_" + suffix;
    make(database);
    return serverConninfo(database);
}

std::string PgTestDatabase::serverConninfo(const std::string& database) const {
    return m_host + " dbname=" + database;
}

void PgTestDatabase::make(const std::string& database) {
    search::PgConnection admin{serverConninfo("postgres")};
    // A process of an earlier run may have had the same number.
    static_cast<void>(admin.execute("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)"));
    static_cast<void>(admin.execute("CREATE DATABASE " + database));
    m_made.push_back(database);
}

} // namespace tarvex::test
