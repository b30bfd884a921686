#include "shell/options_model.h"

#include "shell/setting_names.h"
#include "shell/word_history.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tarvex::shell {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

OptionsModel::OptionsModel(SettingsStore& settings, const StartupShortcut& startup)
    : m_settings(settings),
      m_startup(startup), m_values{kCacheLife.get(settings), kMaximumResults.get(settings),
                                   kSearchFilter.get(settings) != 0,
                                   kSafeSearch.get(settings) != 0} {}

bool OptionsModel::minimizeAtStart() {
    return kMinimize.get(m_settings) != 0;
}

bool OptionsModel::runAtStartup() const {
    return m_startup.StartupShortcutExists(kStartupLinkName);
}

bool OptionsModel::toggleMinimize() {
    const bool minimize = !minimizeAtStart();
    // Shown as the store now holds it: unchanged when the write was not kept.
    return kMinimize.put(m_settings, minimize ? 1 : 0) ? minimize : minimizeAtStart();
}

bool OptionsModel::toggleRunAtStartup() {
    const bool on = !runAtStartup();
    (void)m_startup.SetStartupShortcut(kStartupLinkName, kStartupDescription, on);
    return on;
}

bool OptionsModel::wipeWords() {
    return shell::wipeWords(m_settings, kSearchWordsSection);
}

std::optional<std::string> OptionsModel::save(std::string_view cacheLifeText, Values values) {
    const std::optional<std::int32_t> life = wholeNumber(cacheLifeText);
    if (!life) {
        return "Please enter an integer.";
    }
    values.cacheLife = *life;
    m_values = values;
    // Every value is written, even after one fails.
    const std::array kept{kCacheLife.put(m_settings, values.cacheLife),
                          kMaximumResults.put(m_settings, values.maximumResults),
                          kSearchFilter.put(m_settings, values.filterSimilarResults ? 1 : 0),
                          kSafeSearch.put(m_settings, values.safeSearch ? 1 : 0)};
    if (!std::ranges::all_of(kept, [](bool put) { return put; })) {
        return std::string{kSettingsNotKept};
    }
    return std::nullopt;
}

std::optional<std::int32_t> wholeNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace tarvex::shell
