#include "http/header_table.h"

namespace tarvex::http {
namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

std::size_t HeaderTable::Hash::operator()(const std::string& name) const {
    std::uint32_t hash = 0;
    for (const char c : name) {
        hash = hash * 33U + static_cast<unsigned char>(upper(c));
    }
    return hash;
}

bool HeaderTable::Equal::operator()(const std::string& a, const std::string& b) const {
    return equalsIgnoringCase(a, b);
}

void HeaderTable::add(std::string_view name, std::string_view value) {
    const auto [it, inserted] = m_headers.try_emplace(std::string{name}, value);
    if (!inserted) {
        it->second += ',';
        it->second += value;
    }
}

std::optional<std::string_view> HeaderTable::get(std::string_view name) const {
    const auto it = m_headers.find(std::string{name});
    if (it == m_headers.end()) {
        return std::nullopt;
    }
    return std::string_view{it->second};
}

} // namespace tarvex::http
