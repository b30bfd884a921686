#pragma once

#include "shell/settings_store.h"

namespace tarvex::test {

// Settings in memory whose writes can be made to fail (a full disk, a file no longer writable):
// while `failWrites` is set, a write keeps nothing and says so.
class FailingSettings final : public shell::SettingsStore {
public:
    std::int32_t getInt(std::string_view section, std::string_view entry,
                        std::int32_t fallback) override {
        return m_kept.getInt(section, entry, fallback);
    }
    bool putInt(std::string_view section, std::string_view entry, std::int32_t value) override {
        return !failWrites && m_kept.putInt(section, entry, value);
    }
    std::string getString(std::string_view section, std::string_view entry,
                          std::string_view fallback) override {
        return m_kept.getString(section, entry, fallback);
    }
    bool putString(std::string_view section, std::optional<std::string_view> entry,
                   std::optional<std::string_view> value) override {
        return !failWrites && m_kept.putString(section, entry, value);
    }

    bool failWrites = false;

private:
    shell::MemorySettingsStore m_kept;
};

} // namespace tarvex::test
