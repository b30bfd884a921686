#include "shell/startup_shortcut.h"

#include "base/user_folders.h"
#include "shell/program_folder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace tarvex::shell {
namespace {

constexpr std::string_view kEntrySuffix = ".desktop";
// The Desktop Entry Specification's reserved characters of an Exec= argument: one of them means
// the argument must be quoted.
constexpr std::string_view kReservedExecCharacters = " \t\n\r\"'\\><~|&;$*?#()`";
// Characters that stand for themselves inside a quoted Exec= argument only after a backslash.
constexpr std::string_view kQuotedEscapes = "\"`$\\";
// Folders the XDG Base Directory Specification creates when missing: private to the user.
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kEntryMode = 0644;

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path{folder};
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

// A desktop entry's string value: backslash, newline, tab and carriage return as escapes.
std::string escapeValue(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// Creates the folder and any missing parent; the folder must be a directory afterwards.
bool makeFolder(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes through a temporary file in the same folder and a rename, so the entry is either the
// old one or the whole new one, never half of it. The temporary name starts with a dot and does
// not end in ".desktop", so no session manager takes it for an entry meanwhile.
bool saveAtomically(const std::string& folder, const std::string& path, std::string_view text) {
    std::string name = path.substr(path.rfind('/') + 1);
    std::string pattern = joinPath(folder, "." + name + ".XXXXXX");
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    const bool written = ::fchmod(fd, kEntryMode) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.data(), path.c_str()) == 0) {
        return true;
    }
    ::unlink(temporary.data());
    return false;
}

} // namespace

std::string autostartEntryPath(std::string_view folder, std::string_view linkName) {
    std::string name{linkName};
    name += kEntrySuffix;
    return joinPath(folder, name);
}

std::string quoteExecArgument(std::string_view argument) {
    const bool plain =
        !argument.empty() && argument.find_first_of(kReservedExecCharacters) == std::string::npos;
    std::string quoted;
    if (!plain) {
        quoted += '"';
    }
    for (const char c : argument) {
        if (!plain && kQuotedEscapes.find(c) != std::string_view::npos) {
            quoted += '\\';
        }
        if (c == '%') {
            quoted += '%'; // "%%" is a literal percent; a lone one starts a field code
        }
        quoted += c;
    }
    if (!plain) {
        quoted += '"';
    }
    // The Exec= value is itself a string value, whose escapes are undone before the quoting.
    return escapeValue(quoted);
}

std::string autostartEntry(std::string_view linkName, std::string_view description,
                           std::string_view executable) {
    std::string entry = "[Desktop Entry]\nType=Application\nName=";
    entry += escapeValue(linkName);
    entry += "\nComment=";
    entry += escapeValue(description);
    entry += "\nExec=";
    entry += quoteExecArgument(executable);
    entry += '\n';
    return entry;
}

StartupShortcut::StartupShortcut(ErrorReporter errors, std::optional<std::string> folder,
                                 std::optional<std::string> executable)
    : m_errors(std::move(errors)), m_folder(std::move(folder)),
      m_executable(std::move(executable)) {}

std::string StartupShortcut::folder() const {
    if (m_folder) {
        return *m_folder;
    }
    if (const auto config = userConfigHome()) {
        return joinPath(*config, "autostart");
    }
    return {};
}

bool StartupShortcut::StartupShortcutExists(std::string_view linkName) const {
    const std::string where = folder();
    if (where.empty()) {
        return false;
    }
    // Existence only: an entry that cannot be read still counts as there.
    struct stat status {};
    return ::stat(autostartEntryPath(where, linkName).c_str(), &status) == 0;
}

bool StartupShortcut::SetStartupShortcut(std::string_view linkName, std::string_view description,
                                         bool on) const {
    const std::string where = folder();
    if (where.empty()) {
        return false;
    }
    const std::string path = autostartEntryPath(where, linkName);
    if (!on) {
        ::unlink(path.c_str()); // a missing entry is already what was asked for
        return true;
    }
    const std::string executable = m_executable ? *m_executable : executablePath();
    if (executable.empty()) {
        return true; // no target to start: nothing to make, as when no link object can be had
    }
    const std::string entry = autostartEntry(linkName, description, executable);
    if (!makeFolder(where) || !saveAtomically(where, path, entry)) {
        if (m_errors) {
            m_errors(std::string{kShortcutError});
        }
    }
    return true;
}

} // namespace tarvex::shell
