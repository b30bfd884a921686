#pragma once

#include "shell/settings_store.h"

namespace tarvex::shell {

// Settings of one run laid over a store: entries set for the run are answered from memory and
// never reach the store beneath, so an option of one run does not change what the program does
// next time; every other entry reads and writes through.
class SettingsOverlay final : public SettingsStore {
public:
    explicit SettingsOverlay(SettingsStore& beneath) : m_beneath(beneath) {}

    void setForThisRun(std::string_view section, std::string_view entry, std::int32_t value);

    [[nodiscard]] std::int32_t getInt(std::string_view section, std::string_view entry,
                                      std::int32_t fallback) override;
    [[nodiscard]] bool putInt(std::string_view section, std::string_view entry,
                              std::int32_t value) override;
    [[nodiscard]] std::string getString(std::string_view section, std::string_view entry,
                                        std::string_view fallback) override;
    [[nodiscard]] bool putString(std::string_view section, std::optional<std::string_view> entry,
                                 std::optional<std::string_view> value) override;

private:
    SettingsStore& m_beneath;
    MemorySettingsStore m_run;
};

} // namespace tarvex::shell
