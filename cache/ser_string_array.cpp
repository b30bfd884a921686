#include "cache/ser_string_array.h"

#include "base/code_page.h"

#include <cwctype>
#include <limits>
#include <stdexcept>

namespace tarvex::cache {
bool sameWord(std::string_view a, std::string_view b) {
    const auto ascii = [](std::string_view text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                return false;
            }
        }
        return true;
    };
    if (ascii(a) && ascii(b)) {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::towupper(static_cast<unsigned char>(a[i])) !=
                std::towupper(static_cast<unsigned char>(b[i]))) {
                return false;
            }
        }
        return true;
    }
    const std::u16string x = codePageToUtf16(a);
    const std::u16string y = codePageToUtf16(b);
    if (x.size() != y.size()) {
        return false;
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i] != y[i] && std::towupper(x[i]) != std::towupper(y[i])) {
            return false;
        }
    }
    return true;
}

CSerStringArray::CSerStringArray(std::initializer_list<std::string_view> items) {
    for (const std::string_view item : items) {
        add(item);
    }
}

std::string_view CSerStringArray::operator[](std::size_t i) const {
    const std::size_t end = m_ends.at(i);
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return std::string_view{m_text}.substr(begin, end - begin);
}

void CSerStringArray::add(std::string_view item) {
    if (item.size() > std::numeric_limits<std::uint32_t>::max() - m_text.size()) {
        throw std::length_error{"a list of texts past 4 GiB"};
    }
    m_ends.reserve(m_ends.size() + 1); // nothing changes when this throws
    m_text.append(item);
    m_ends.push_back(static_cast<std::uint32_t>(m_text.size()));
}

void CSerStringArray::reserve(std::size_t count, std::size_t textBytes) {
    m_ends.reserve(m_ends.size() + count);
    m_text.reserve(m_text.size() + textBytes);
}

void CSerStringArray::clear() {
    m_text.clear();
    m_ends.clear();
}

std::int32_t CSerStringArray::Find(std::string_view s) const {
    for (std::size_t i = 0; i < size(); ++i) {
        if (sameWord((*this)[i], s)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

bool CSerStringArray::AddUnique(std::string_view s) {
    if (unique && Find(s) != -1) {
        return false;
    }
    add(s);
    return true;
}

std::int32_t CSerStringArray::AppendUnique(const CSerStringArray& other) {
    std::int32_t appended = 0;
    // A copy first: `other` may be this very list.
    const CSerStringArray items = other;
    for (std::size_t i = 0; i < items.size(); ++i) {
        appended += AddUnique(items[i]) ? 1 : 0;
    }
    return appended;
}

std::string CSerStringArray::GetAtOrEmpty(std::int32_t i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= size()) {
        return {};
    }
    return std::string{(*this)[static_cast<std::size_t>(i)]};
}

std::size_t CSerStringArray::memoryBytes() const {
    constexpr std::size_t kBlockOverhead = 16; // malloc's header and rounding, roughly
    static const std::size_t inPlace = std::string{}.capacity();
    const std::size_t text =
        m_text.capacity() > inPlace ? m_text.capacity() + 1 + kBlockOverhead : 0;
    const std::size_t ends =
        m_ends.capacity() > 0 ? m_ends.capacity() * sizeof(std::uint32_t) + kBlockOverhead : 0;
    return text + ends;
}

std::vector<std::string> CSerStringArray::toVector() const {
    std::vector<std::string> items;
    items.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) {
        items.emplace_back((*this)[i]);
    }
    return items;
}

} // namespace tarvex::cache
