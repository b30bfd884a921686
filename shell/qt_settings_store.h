#pragma once

#include "settings_store.h"

#include <QSettings>

#include <memory>
#include <string>

namespace tarvex::shell {

// Settings in QSettings: organisation "Brenmoor Technologies", the application key given (the
// executable's name), one group per section. Integers are kept as numbers, strings as text.
class QtSettingsStore final : public SettingsStore {
public:
    static constexpr const char* kOrganisation = "Brenmoor Technologies";

    explicit QtSettingsStore(const std::string& applicationKey);
    // A store in one INI file, for tests.
    static std::unique_ptr<QtSettingsStore> inFile(const std::string& path);

    [[nodiscard]] std::int32_t getInt(std::string_view section, std::string_view entry,
                                      std::int32_t fallback) override;
    bool putInt(std::string_view section, std::string_view entry, std::int32_t value) override;
    [[nodiscard]] std::string getString(std::string_view section, std::string_view entry,
                                        std::string_view fallback) override;
    bool putString(std::string_view section, std::optional<std::string_view> entry,
                   std::optional<std::string_view> value) override;

private:
    explicit QtSettingsStore(std::unique_ptr<QSettings> settings)
        : m_settings(std::move(settings)) {}

    std::unique_ptr<QSettings> m_settings;
};

} // namespace tarvex::shell
