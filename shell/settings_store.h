#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarvex::shell {

// Per-user settings by section and entry, read at the moment of use with the reader's own
// default and written through at once. Strings are text of the process code page. A write says
// whether the store could keep it.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    [[nodiscard]] virtual std::int32_t getInt(std::string_view section, std::string_view entry,
                                              std::int32_t fallback) = 0;
    [[nodiscard]] virtual bool putInt(std::string_view section, std::string_view entry,
                                      std::int32_t value) = 0;
    [[nodiscard]] virtual std::string getString(std::string_view section, std::string_view entry,
                                                std::string_view fallback) = 0;
    // No value deletes the entry; no entry deletes the whole section.
    [[nodiscard]] virtual bool putString(std::string_view section,
                                         std::optional<std::string_view> entry,
                                         std::optional<std::string_view> value) = 0;
};

// Settings held in memory, for tests and for tools that must not touch the user's settings.
class MemorySettingsStore final : public SettingsStore {
public:
    [[nodiscard]] std::int32_t getInt(std::string_view section, std::string_view entry,
                                      std::int32_t fallback) override;
    // Memory keeps every value: these always return true.
    bool putInt(std::string_view section, std::string_view entry, std::int32_t value) override;
    [[nodiscard]] std::string getString(std::string_view section, std::string_view entry,
                                        std::string_view fallback) override;
    bool putString(std::string_view section, std::optional<std::string_view> entry,
                   std::optional<std::string_view> value) override;

    [[nodiscard]] bool has(std::string_view section, std::string_view entry) const;

private:
    // An int is kept as its four bytes, a string as its text, as the registry keeps them.
    struct Value {
        bool isInt = false;
        std::int32_t number = 0;
        std::string text;
    };
    std::map<std::pair<std::string, std::string>, Value> m_values;
};

} // namespace tarvex::shell
