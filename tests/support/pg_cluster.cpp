#include "support/pg_cluster.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tarvex::test {
namespace {

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in{file};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::optional<std::filesystem::path> PgCluster::findBinaries() {
    std::optional<std::filesystem::path> best;
    long bestVersion = -1;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator{"/usr/lib/postgresql", error}) {
        const std::filesystem::path bin = entry.path() / "bin";
        const long version = std::strtol(entry.path().filename().c_str(), nullptr, 10);
        if (version > bestVersion && std::filesystem::exists(bin / "initdb") &&
            std::filesystem::exists(bin / "pg_ctl")) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

PgCluster::PgCluster(const std::filesystem::path& binaries) : PgCluster(binaries, nullptr) {}

PgCluster::PgCluster(const std::filesystem::path& binaries, const PgCluster& primary)
    : PgCluster(binaries, &primary) {}

PgCluster::PgCluster(const std::filesystem::path& binaries, const PgCluster* primary)
    : m_binaries(binaries) {
    const auto began = std::chrono::steady_clock::now();
    std::string folder = (std::filesystem::temp_directory_path() / "tarvex-pg-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder for the test cluster");
    }
    m_folder = folder;
    // scripts/db makes and starts the cluster, as it does for a developer: "postgresql://USER@
    // 127.0.0.1:PORT/tarvex" on its output.
    try {
        const std::string output =
            primary == nullptr ? run("start") : run("standby", primary->m_folder.string());
        // The connection string is the last line; the tools may say something before it.
        const std::string url = output.substr(output.rfind('\n') + 1);
        const auto at = url.find('@');
        const auto colon = url.find(':', at);
        const auto slash = url.find('/', colon);
        if (!url.starts_with("postgresql://") || at == std::string::npos ||
            colon == std::string::npos || slash == std::string::npos) {
            throw std::runtime_error("scripts/db gave no connection string: " + url);
        }
        m_user = url.substr(std::string_view{"postgresql://"}.size(),
                            at - std::string_view{"postgresql://"}.size());
        m_port = std::stoi(url.substr(colon + 1, slash - colon - 1));
        m_started = true;
    } catch (const std::exception& error) {
        const std::string log = readAll(m_folder / "server.log");
        stop();
        throw std::runtime_error(error.what() + std::string{"\n"} + log);
    }
    m_startTime = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - began);
}

PgCluster::~PgCluster() {
    stop();
}

std::string PgCluster::conninfo(const std::string& database) const {
    return "host=127.0.0.1 port=" + std::to_string(m_port) + " user=" + m_user +
           " dbname=" + database;
}

std::string PgCluster::run(const std::string& command, const std::string& primary) {
    std::string script = TARVEX_DB_SCRIPT;
    std::string verb = command;
    std::string folder = m_folder.string();
    std::string from = primary;
    std::array<char*, 5> arguments{script.data(), verb.data(), folder.data(),
                                   from.empty() ? nullptr : from.data(), nullptr};
    const std::filesystem::path output =
        m_folder.parent_path() / (m_folder.filename().string() + ".out");
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("cannot start scripts/db");
    }
    if (pid == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
        }
        ::execv(arguments.front(), arguments.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("cannot wait for scripts/db");
        }
    }
    std::string text = readAll(output);
    std::filesystem::remove(output);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("scripts/db " + command + " failed: " + text);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

void PgCluster::stop() noexcept {
    try {
        // Stops a started cluster and removes the folder in any case.
        (void)run("remove");
    } catch (const std::exception&) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    m_started = false;
}

} // namespace tarvex::test
