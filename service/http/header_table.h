#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarvex::http {

// Response headers by name, compared without regard to case. A name given again has its value
// appended after a "," (RFC 9110 5.3).
class HeaderTable {
public:
    void add(std::string_view name, std::string_view value);
    [[nodiscard]] std::optional<std::string_view> get(std::string_view name) const;
    [[nodiscard]] std::size_t size() const { return m_headers.size(); }
    void clear() { m_headers.clear(); }

private:
    struct Hash {
        std::size_t operator()(const std::string& name) const;
    };
    struct Equal {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::unordered_map<std::string, std::string, Hash, Equal> m_headers;
};

// Case-insensitive comparison of ASCII text.
[[nodiscard]] bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace tarvex::http
