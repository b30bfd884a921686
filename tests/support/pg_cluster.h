#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::test {

// A throwaway PostgreSQL cluster for tests, made and started by scripts/db in a temporary folder
// of its own (a free port of 127.0.0.1, a unix socket in that folder; as the `postgres` user when
// the test runs as root), stopped and removed when the object goes.
class PgCluster {
public:
    // The newest installed server's programs (/usr/lib/postgresql/<version>/bin), if any.
    [[nodiscard]] static std::optional<std::filesystem::path> findBinaries();

    // Throws std::runtime_error with the tools' output when the cluster cannot be made.
    // `binaries` tells that a server is installed; scripts/db finds it again.
    explicit PgCluster(const std::filesystem::path& binaries);
    // A streaming standby of the running `primary` (scripts/db standby): it answers reads and
    // refuses writes.
    PgCluster(const std::filesystem::path& binaries, const PgCluster& primary);
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // A libpq connection string for `database` over TCP as the cluster's superuser.
    [[nodiscard]] std::string conninfo(const std::string& database = "postgres") const;
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] const std::string& user() const { return m_user; }
    // Stops the server and keeps the data (scripts/db stop); removed at the end as always.
    void stopServer() { (void)run("stop"); }
    // How long initdb and the start took.
    [[nodiscard]] std::chrono::milliseconds startTime() const { return m_startTime; }

private:
    PgCluster(const std::filesystem::path& binaries, const PgCluster* primary);
    // Runs `scripts/db COMMAND FOLDER [PRIMARY]`; its output.
    std::string run(const std::string& command, const std::string& primary = {});
    void stop() noexcept;

    std::filesystem::path m_binaries;
    std::filesystem::path m_folder;
    std::string m_user;
    int m_port = 0;
    bool m_started = false;
    std::chrono::milliseconds m_startTime{0};
};

} // namespace tarvex::test
