#include "shell/settings_store.h"

#include <charconv>

namespace tarvex::shell {
namespace {

std::pair<std::string, std::string> keyOf(std::string_view section, std::string_view entry) {
    return {std::string{section}, std::string{entry}};
}

} // namespace

std::int32_t MemorySettingsStore::getInt(std::string_view section, std::string_view entry,
                                         std::int32_t fallback) {
    const auto it = m_values.find(keyOf(section, entry));
    if (it == m_values.end()) {
        return fallback;
    }
    if (it->second.isInt) {
        return it->second.number;
    }
    // The stored type is not checked: a string of at most four bytes reads as their value.
    const std::string& text = it->second.text;
    if (text.size() + 1 > 4) {
        return fallback;
    }
    std::int32_t value = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        value |= static_cast<std::int32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    return value;
}

bool MemorySettingsStore::putInt(std::string_view section, std::string_view entry,
                                 std::int32_t value) {
    m_values[keyOf(section, entry)] = Value{true, value, {}};
    return true;
}

std::string MemorySettingsStore::getString(std::string_view section, std::string_view entry,
                                           std::string_view fallback) {
    const auto it = m_values.find(keyOf(section, entry));
    if (it == m_values.end()) {
        return std::string{fallback};
    }
    if (!it->second.isInt) {
        return it->second.text;
    }
    // An integer's four bytes read as text up to the first zero byte.
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c =
            static_cast<char>((static_cast<std::uint32_t>(it->second.number) >> (8 * i)) & 0xFF);
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return text;
}

bool MemorySettingsStore::putString(std::string_view section, std::optional<std::string_view> entry,
                                    std::optional<std::string_view> value) {
    if (!entry) {
        for (auto it = m_values.begin(); it != m_values.end();) {
            it = it->first.first == section ? m_values.erase(it) : std::next(it);
        }
        return true;
    }
    if (!value) {
        m_values.erase(keyOf(section, *entry));
        return true;
    }
    m_values[keyOf(section, *entry)] = Value{false, 0, std::string{*value}};
    return true;
}

bool MemorySettingsStore::has(std::string_view section, std::string_view entry) const {
    return m_values.count(keyOf(section, entry)) != 0;
}

} // namespace tarvex::shell
