#include "service/service_config.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::search {
namespace {

namespace fs = std::filesystem;

// Settings whose values name files: a relative one starts at the configuration file's folder,
// not at wherever the service happens to be started.
constexpr std::array<std::string_view, 6> kPathSettings{"corpus", "keys",        "cert",
                                                        "key",    "upstream-ca", "upstream-cache"};
constexpr const char* kDefaultConfigDirs = "/etc/xdg";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool lineFault(std::string& error, const std::string& file, std::size_t number,
               const std::string& reason) {
    error = file + ":" + std::to_string(number) + ": " + reason;
    return false;
}

} // namespace

ConfigPlaces ConfigPlaces::fromEnvironment() {
    return {environment("XDG_CONFIG_DIRS"), environment("XDG_CONFIG_HOME"), environment("HOME")};
}

std::vector<std::string> configFiles(const CommandLine& arguments, const ConfigPlaces& places) {
    if (arguments.noConfig) {
        return {};
    }
    if (arguments.configFile) {
        return {*arguments.configFile};
    }
    std::vector<std::string> files;
    // XDG Base Directory: an empty variable means the default; a relative folder is ignored.
    const std::string folderList =
        places.configDirs.empty() ? kDefaultConfigDirs : places.configDirs;
    std::string_view folders = folderList;
    while (!folders.empty()) {
        const auto colon = std::min(folders.find(':'), folders.size());
        const fs::path folder{folders.substr(0, colon)};
        folders.remove_prefix(std::min(colon + 1, folders.size()));
        if (folder.is_absolute() && isFile(folder / kServiceConfigPath)) {
            files.push_back((folder / kServiceConfigPath).string());
            break;
        }
    }
    fs::path home{places.configHome};
    if (!home.is_absolute()) {
        home = fs::path{places.home}.is_absolute() ? fs::path{places.home} / ".config" : fs::path{};
    }
    if (!home.empty() && isFile(home / kServiceConfigPath)) {
        files.push_back((home / kServiceConfigPath).string());
    }
    return files;
}

bool applyConfigText(CommandLine& line, std::string_view text, const std::string& file,
                     std::string& error) {
    std::error_code failure;
    const fs::path folder = fs::absolute(fs::path{file}, failure).parent_path();
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        ++number;
        const auto newline = text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        const std::size_t read = newline == std::string_view::npos ? end : end + 1;
        if (read > kMaxConfigFileBytes) {
            return lineFault(error, file, number, "the file is larger than 64 KiB");
        }
        const std::string_view raw = text.substr(start, end - start);
        start = read;
        if (raw.size() > kMaxConfigLineBytes) {
            return lineFault(error, file, number, "the line is longer than 4 KiB");
        }
        const std::string_view body = trimmed(raw);
        if (body.empty() || body.front() == '#') {
            continue;
        }
        const auto equals = body.find('=');
        if (equals == std::string_view::npos) {
            return lineFault(error, file, number, "NAME = VALUE wanted");
        }
        const std::string name{trimmed(body.substr(0, equals))};
        std::string value{trimmed(body.substr(equals + 1))};
        if (name.empty() || name.front() == '-') {
            return lineFault(error, file, number, "unknown setting: " + name);
        }
        const std::string option = "--" + name;
        if (option == kLoopbackPagesOption) {
            return lineFault(error, file, number, name + " is for tests and cannot be set here");
        }
        if (value.empty()) {
            return lineFault(error, file, number, name + " has no value");
        }
        if (std::find(kPathSettings.begin(), kPathSettings.end(), name) != kPathSettings.end() &&
            fs::path{value}.is_relative()) {
            value = (folder / value).lexically_normal().string();
        }
        std::string reason;
        if (!applyOption(line, option, value, reason)) {
            return lineFault(error, file, number, reason);
        }
    }
    return true;
}

bool applyConfigFile(CommandLine& line, const std::string& file, std::string& error) {
    // Without O_NONBLOCK a FIFO put there would hold the start in open() for good, with the
    // stop signals already blocked.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = file + ": cannot read it: " + std::strerror(errno);
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = file + ": not a regular file";
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // One byte past the cap is enough to tell that the file is too large.
    std::string text;
    char buffer[4096];
    while (text.size() <= kMaxConfigFileBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = file + ": cannot read it: " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return applyConfigText(line, text, file, error);
}

} // namespace tarvex::search
