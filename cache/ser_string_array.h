#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::cache {

// Whether two words are the same without regard to case, character by character in the
// process code page (UTF-8 here), upper-cased through the locale's mapping.
[[nodiscard]] bool sameWord(std::string_view a, std::string_view b);

// An ordered list of strings as the cache keeps them (text of the process code page).
class CSerStringArray {
public:
    CSerStringArray() = default;
    CSerStringArray(std::initializer_list<std::string> items) : m_items(items) {}

    [[nodiscard]] std::size_t size() const { return m_items.size(); }
    // Element i; std::out_of_range outside the list (lists of a file may be short).
    [[nodiscard]] const std::string& operator[](std::size_t i) const { return m_items.at(i); }
    [[nodiscard]] const std::vector<std::string>& items() const { return m_items; }
    void add(std::string item) { m_items.push_back(std::move(item)); }
    void reserve(std::size_t count) { m_items.reserve(count); }
    void clear() { m_items.clear(); }

    // The first index whose string is the same word as `s`, or -1.
    [[nodiscard]] std::int32_t Find(std::string_view s) const;
    // Appends `s` unless the list is unique and already holds it; true when appended.
    bool AddUnique(const std::string& s);
    // AddUnique for each string of `other`, in order; the number appended.
    std::int32_t AppendUnique(const CSerStringArray& other);
    // Element i, or the empty string outside the list.
    [[nodiscard]] std::string GetAtOrEmpty(std::int32_t i) const;

    std::int32_t currentIndex = -1;
    bool unique = false;

    friend bool operator==(const CSerStringArray&, const CSerStringArray&) = default;

private:
    std::vector<std::string> m_items;
};

} // namespace tarvex::cache
