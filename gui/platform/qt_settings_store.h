#pragma once

#include "shell/settings_store.h"

#include <QSettings>
#include <QTemporaryDir>

#include <cstddef>
#include <memory>
#include <string>

namespace tarvex::shell {

// Settings in QSettings: organisation kOrganisation, the application key given (the
// executable's name), one group per section. Integers are kept as numbers, strings as text.
//
// A put reaches the store at once (every later get sees it) but the file is synced once per
// turn of the event loop of the store's thread, whatever the number of puts in that turn, and
// once more when the store goes. A program without an event loop (the command-line tool) thus
// syncs once, at the end. A crash loses at most the puts of the turn it happens in.
class QtSettingsStore final : public SettingsStore {
public:
    explicit QtSettingsStore(const std::string& applicationKey);
    // A store in one INI file, for tests.
    static std::unique_ptr<QtSettingsStore> inFile(const std::string& path);
    ~QtSettingsStore() override;

    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    [[nodiscard]] std::int32_t getInt(std::string_view section, std::string_view entry,
                                      std::int32_t fallback) override;
    // False when the value cannot be kept, or when the last sync could not write the file.
    [[nodiscard]] bool putInt(std::string_view section, std::string_view entry,
                              std::int32_t value) override;
    [[nodiscard]] std::string getString(std::string_view section, std::string_view entry,
                                        std::string_view fallback) override;
    [[nodiscard]] bool putString(std::string_view section, std::optional<std::string_view> entry,
                                 std::optional<std::string_view> value) override;

    // Writes the puts not yet synced to the file now; false when it cannot be written.
    bool sync();
    // The syncs made so far for puts not yet in the file.
    [[nodiscard]] std::size_t syncCount() const { return m_syncs; }

private:
    explicit QtSettingsStore(std::unique_ptr<QSettings> settings)
        : m_settings(std::move(settings)) {}

    // The user's settings, unless their file is a pipe, socket or device, which would stop the
    // program at its first read: then a folder of this run stands in for the user's (the
    // system-wide fallback is still read) and nothing of the run is kept.
    [[nodiscard]] std::unique_ptr<QSettings> openUserSettings(const std::string& applicationKey);

    // Marks the file behind the store and queues its sync, once, for the end of this turn.
    [[nodiscard]] bool changed();

    std::unique_ptr<QTemporaryDir> m_standIn;
    std::unique_ptr<QSettings> m_settings;
    bool m_pending = false;
    std::size_t m_syncs = 0;
};

} // namespace tarvex::shell
