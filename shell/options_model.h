#pragma once

#include "shell/settings_store.h"
#include "shell/startup_shortcut.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::shell {

// What the Options dialog shows and keeps, without its controls: the check boxes that act at
// once, and the values OK saves after checking them.
class OptionsModel {
public:
    // The result size slider's range.
    static constexpr std::int32_t kFewestResults = 10;
    static constexpr std::int32_t kMostResults = 30;

    // The values OK saves.
    struct Values {
        std::int32_t cacheLife = 24;
        std::int32_t maximumResults = 10;
        bool filterSimilarResults = true;
        bool safeSearch = false;
    };

    OptionsModel(SettingsStore& settings, const StartupShortcut& startup);

    // As stored when the dialog opened, or as OK last saved them.
    [[nodiscard]] const Values& values() const { return m_values; }
    [[nodiscard]] bool minimizeAtStart();
    [[nodiscard]] bool runAtStartup() const;

    // Minimize toggled: the stored state flipped; the new state.
    bool toggleMinimize();
    // Run at startup toggled: the entry made or removed as the file says, not the check box; the
    // new state.
    bool toggleRunAtStartup();
    // Wipe: the word history's count back to 0; false when that was not kept.
    [[nodiscard]] bool wipeWords();
    // OK: the cache life as typed and the other values saved; the message to show instead when
    // the cache life is no whole number (nothing is saved then), or when the store did not keep
    // them.
    [[nodiscard]] std::optional<std::string> save(std::string_view cacheLifeText, Values values);

private:
    SettingsStore& m_settings;
    const StartupShortcut& m_startup;
    Values m_values;
};

// The Local Cache Life as typed: a whole number in 32 bits, with an optional sign and
// optional blanks; nothing for anything else or a number outside 32 bits.
[[nodiscard]] std::optional<std::int32_t> wholeNumber(std::string_view text);

} // namespace tarvex::shell
