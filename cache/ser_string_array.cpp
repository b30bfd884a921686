#include "ser_string_array.h"

#include "code_page.h"

#include <cwctype>

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

std::int32_t CSerStringArray::Find(std::string_view s) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (sameWord(m_items[i], s)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

bool CSerStringArray::AddUnique(const std::string& s) {
    if (unique && Find(s) != -1) {
        return false;
    }
    m_items.push_back(s);
    return true;
}

std::int32_t CSerStringArray::AppendUnique(const CSerStringArray& other) {
    std::int32_t appended = 0;
    // A copy first: `other` may be this very list.
    const std::vector<std::string> items = other.m_items;
    for (const std::string& item : items) {
        appended += AddUnique(item) ? 1 : 0;
    }
    return appended;
}

std::string CSerStringArray::GetAtOrEmpty(std::int32_t i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= m_items.size()) {
        return {};
    }
    return m_items[static_cast<std::size_t>(i)];
}

} // namespace tarvex::cache
