#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::shell {

// Start at log-on as a per-user autostart entry: "<folder>/<link name>.desktop", where the folder
// is $XDG_CONFIG_HOME/autostart (default ~/.config/autostart). The file is the state: nothing
// else is kept.
class StartupShortcut {
public:
    // A failed creation is reported here ("Error creating Shortcut"), as a message box would.
    using ErrorReporter = std::function<void(const std::string& message)>;

    // `folder`: the autostart folder; none for the desktop's own (from the environment).
    // `executable`: the program the entry starts; none for the running executable.
    explicit StartupShortcut(ErrorReporter errors, std::optional<std::string> folder = {},
                             std::optional<std::string> executable = {});

    // True when the folder is known and the entry exists there.
    [[nodiscard]] bool StartupShortcutExists(std::string_view linkName) const;
    // Creates (on) or deletes (off) the entry. False, doing nothing, when the folder is unknown;
    // else true whatever became of the file. A missing folder is created; an existing entry is
    // overwritten; a failed write is reported; deleting a missing entry is quiet.
    bool SetStartupShortcut(std::string_view linkName, std::string_view description, bool on) const;

    // The autostart folder in use; empty when none can be found (no XDG_CONFIG_HOME and no HOME).
    [[nodiscard]] std::string folder() const;

private:
    ErrorReporter m_errors;
    std::optional<std::string> m_folder;
    std::optional<std::string> m_executable;
};

// "<folder>/<link name>.desktop", with no second '/' when the folder ends with one.
[[nodiscard]] std::string autostartEntryPath(std::string_view folder, std::string_view linkName);

// The desktop entry that starts `executable`: Type=Application, Name=<link name>,
// Comment=<description>, Exec=<executable quoted as the Desktop Entry Specification asks>.
[[nodiscard]] std::string autostartEntry(std::string_view linkName, std::string_view description,
                                         std::string_view executable);

// An Exec= argument: as it is when it holds only safe characters, else in double quotes with
// '"', '`', '$' and '\' escaped by a backslash, and every '\' of the result doubled again as a
// desktop entry's string value needs; '%' is written "%%".
[[nodiscard]] std::string quoteExecArgument(std::string_view argument);

// The link name and the description the Options dialog uses.
inline constexpr std::string_view kStartupLinkName = "Tarvex";
inline constexpr std::string_view kStartupDescription = "moravel";
inline constexpr std::string_view kShortcutError = "Error creating Shortcut";

} // namespace tarvex::shell
