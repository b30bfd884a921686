#include "shell/oversized_settings.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarvex::shell {
namespace {

constexpr mode_t kSettingsMode = 0600;
constexpr int kMaxAsideNames = 100;

// Reads the file's lines, keeping those short enough to be ours until the kept text is full.
class LineKeeper {
public:
    // Takes the next bytes of the file; false once nothing more can be kept.
    bool feed(std::string_view bytes) {
        while (!bytes.empty() && !m_full) {
            const std::size_t end = bytes.find('\n');
            const std::string_view piece = bytes.substr(0, end);
            if (!m_skipping) {
                m_line.append(piece);
                m_skipping = m_line.size() > kMaxSettingsLineBytes;
            }
            if (end == std::string_view::npos) {
                return true;
            }
            endLine();
            bytes.remove_prefix(end + 1);
        }
        return !m_full;
    }
    // The kept text, the last line too when it ends without a line feed.
    std::string finish() {
        if (!m_line.empty()) {
            endLine();
        }
        return std::move(m_kept);
    }

private:
    void endLine() {
        if (!m_skipping) {
            if (m_kept.size() + m_line.size() + 1 > kMaxSettingsFileBytes) {
                m_full = true;
            } else {
                m_kept.append(m_line).push_back('\n');
            }
        }
        m_line.clear();
        m_skipping = false;
    }

    std::string m_kept;
    std::string m_line;
    bool m_skipping = false;
    bool m_full = false;
};

bool readKeptLines(int descriptor, std::string& kept) {
    LineKeeper keeper;
    std::vector<char> buffer(std::size_t{1} << 16);
    std::uintmax_t scanned = 0;
    while (scanned < kMaxSettingsScanBytes) {
        const ssize_t count = ::read(descriptor, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return false;
        }
        if (count == 0 ||
            !keeper.feed(std::string_view{buffer.data(), static_cast<std::size_t>(count)})) {
            break;
        }
        scanned += static_cast<std::uintmax_t>(count);
    }
    kept = keeper.finish();
    return true;
}

bool writeAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The kept lines in a new private file beside `path`; its name, or empty when it failed.
std::string writeBeside(const std::string& path, std::string_view text) {
    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        return {};
    }
    const bool written = ::fchmod(descriptor, kSettingsMode) == 0 && writeAll(descriptor, text) &&
                         ::fsync(descriptor) == 0;
    if (::close(descriptor) != 0 || !written) {
        ::unlink(temporary.c_str());
        return {};
    }
    return temporary;
}

// Moves the file to the first free name of its aside names; that name, or empty.
std::string setAside(const std::string& path) {
    for (int n = 0; n < kMaxAsideNames; ++n) {
        std::string name = path + std::string{kOversizedSuffix};
        if (n > 0) {
            name.append(".").append(std::to_string(n));
        }
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

SettingsTrim failed(const std::string& path, const char* why) {
    return {SettingsTrim::Outcome::Failed,
            path + " is larger than any settings file this program writes, and " + why +
                ": it is read as it is, which takes long."};
}

} // namespace

SettingsTrim trimOversizedSettings(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return {};
    }
    struct stat info {};
    std::string kept;
    const bool regular = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
    const bool oversized =
        regular && static_cast<std::uintmax_t>(info.st_size) > kMaxSettingsFileBytes;
    const bool read = oversized && readKeptLines(descriptor, kept);
    ::close(descriptor);
    if (!oversized) {
        return {};
    }
    if (!read) {
        return failed(path, "it could not be read to trim it");
    }
    const std::string trimmed = writeBeside(path, kept);
    if (trimmed.empty()) {
        return failed(path, "no trimmed copy could be written beside it");
    }
    const std::string aside = setAside(path);
    if (aside.empty()) {
        ::unlink(trimmed.c_str());
        return failed(path, "it could not be set aside");
    }
    if (::rename(trimmed.c_str(), path.c_str()) != 0) {
        ::rename(aside.c_str(), path.c_str());
        ::unlink(trimmed.c_str());
        return failed(path, "its trimmed copy could not take its place");
    }
    return {SettingsTrim::Outcome::Trimmed,
            path + " was larger than any settings file this program writes (" +
                std::to_string(info.st_size) + " bytes): it keeps its lines of up to " +
                std::to_string(kMaxSettingsLineBytes >> 10) + " KiB now, " +
                std::to_string(kept.size()) + " bytes, and the whole file is kept as " + aside +
                "."};
}

} // namespace tarvex::shell
