// Process start to the first image on the X server: the real window (dunsk, with an http
// endpoint and no cache) against a bare dialog of the same template, started in turn on a
// private Xvfb. A preloaded hook writes the time of the first image to a pipe. Reports both
// means in milliseconds, their ratio and the goal for it (1.25).
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kFirstImageTimeoutMs = 10000;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Reads one line from `fd` within the timeout; nothing at the end or the timeout.
std::optional<std::string> readLine(int fd, int timeoutMs) {
    std::string line;
    std::array<char, 64> buffer{};
    while (line.find('\n') == std::string::npos) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0) {
            return std::nullopt;
        }
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count <= 0) {
            return std::nullopt;
        }
        line.append(buffer.data(), static_cast<std::size_t>(count));
    }
    return line;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& environment) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        envp.push_back(*entry);
    }
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    pid_t child = -1;
    if (::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
        throw std::runtime_error("cannot start " + program);
    }
    return child;
}

// An X server of this run on a free display.
class PrivateXServer {
public:
    PrivateXServer() {
        std::array<int, 2> ends{};
        if (::pipe(ends.data()) != 0) {
            throw std::runtime_error("no pipe");
        }
        m_pid = spawn("/usr/bin/Xvfb",
                      {"-displayfd", std::to_string(ends[1]), "-screen", "0", "1280x800x24",
                       "-nolisten", "tcp"},
                      {});
        ::close(ends[1]);
        const std::optional<std::string> display = readLine(ends[0], kFirstImageTimeoutMs);
        ::close(ends[0]);
        if (!display) {
            throw std::runtime_error("Xvfb did not start");
        }
        m_display.push_back(':');
        m_display.append(display->substr(0, display->find('\n')));
    }
    ~PrivateXServer() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    [[nodiscard]] const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// Starts `program`, waits for its first image, ends it; the milliseconds from the start.
double startToFirstImage(const PrivateXServer& x, const std::string& program,
                         const std::filesystem::path& home) {
    std::array<int, 2> ends{};
    if (::pipe(ends.data()) != 0) {
        throw std::runtime_error("no pipe");
    }
    const std::int64_t start = nowNs();
    const pid_t child =
        spawn(program, {},
              {"DISPLAY=" + x.display(), "LD_PRELOAD=" TARVEX_FIRST_IMAGE_HOOK,
               "TARVEX_FIRST_IMAGE_FD=" + std::to_string(ends[1]), "HOME=" + home.string(),
               "XDG_CONFIG_HOME=" + (home / "config").string(),
               "XDG_DATA_HOME=" + (home / "data").string()});
    ::close(ends[1]);
    const std::optional<std::string> shown = readLine(ends[0], kFirstImageTimeoutMs);
    ::close(ends[0]);
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    if (!shown) {
        throw std::runtime_error(program + " sent no image");
    }
    return static_cast<double>(std::stoll(*shown) - start) / 1e6;
}

void BM_StartToFirstImage(benchmark::State& state) {
    const PrivateXServer x;
    const std::filesystem::path home = std::filesystem::temp_directory_path() /
                                       ("tarvex_startup_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(home / "config" / "Brenmoor Technologies");
    // No request is ever sent: the discard port, over plain http.
    std::ofstream(home / "config" / "Brenmoor Technologies" / "dunsk.conf")
        << "[Settings]\nService%20Endpoint=http://127.0.0.1:9/search/beta2\n";
    double window = 0;
    double bare = 0;
    for (auto _ : state) {
        const double windowMs = startToFirstImage(x, TARVEX_WINDOW_BINARY, home);
        bare += startToFirstImage(x, TARVEX_BARE_DIALOG_BINARY, home);
        window += windowMs;
        state.SetIterationTime(windowMs / 1000);
    }
    std::filesystem::remove_all(home);
    const auto runs = static_cast<double>(state.iterations());
    state.counters["window_ms"] = window / runs;
    state.counters["bare_ms"] = bare / runs;
    state.counters["ratio"] = window / bare;
    state.counters["goal_ratio"] = 1.25;
}
BENCHMARK(BM_StartToFirstImage)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
