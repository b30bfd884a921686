#include "shell/settings_overlay.h"

namespace tarvex::shell {

void SettingsOverlay::setForThisRun(std::string_view section, std::string_view entry,
                                    std::int32_t value) {
    (void)m_run.putInt(section, entry, value); // memory keeps every value
}

std::int32_t SettingsOverlay::getInt(std::string_view section, std::string_view entry,
                                     std::int32_t fallback) {
    return m_run.has(section, entry) ? m_run.getInt(section, entry, fallback)
                                     : m_beneath.getInt(section, entry, fallback);
}

bool SettingsOverlay::putInt(std::string_view section, std::string_view entry, std::int32_t value) {
    return m_run.has(section, entry) ? m_run.putInt(section, entry, value)
                                     : m_beneath.putInt(section, entry, value);
}

std::string SettingsOverlay::getString(std::string_view section, std::string_view entry,
                                       std::string_view fallback) {
    return m_run.has(section, entry) ? m_run.getString(section, entry, fallback)
                                     : m_beneath.getString(section, entry, fallback);
}

bool SettingsOverlay::putString(std::string_view section, std::optional<std::string_view> entry,
                                std::optional<std::string_view> value) {
    if (entry && m_run.has(section, *entry)) {
        return m_run.putString(section, entry, value);
    }
    return m_beneath.putString(section, entry, value);
}

} // namespace tarvex::shell
