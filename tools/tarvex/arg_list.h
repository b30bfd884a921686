#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::cli {

// Command-line words after the subcommand: "--name value", "--name=value", bare flags
// ("--json") and positional words. Unknown names are reported by check().
class ArgList {
public:
    // `valued` lists the options that take a value, `flags` those that do not.
    ArgList(const std::vector<std::string>& words, const std::vector<std::string_view>& valued,
            const std::vector<std::string_view>& flags);

    // Empty when the words were well-formed; else a message for the user.
    [[nodiscard]] const std::string& error() const { return m_error; }

    [[nodiscard]] bool has(std::string_view name) const;
    [[nodiscard]] std::optional<std::string> value(std::string_view name) const;
    [[nodiscard]] const std::vector<std::string>& positional() const { return m_positional; }

    // The option as a whole number in [min, max], or `fallback` when absent. On a malformed
    // value, `error` gets a message and the result is empty.
    [[nodiscard]] std::optional<std::int64_t> integer(std::string_view name, std::int64_t fallback,
                                                      std::int64_t min, std::int64_t max,
                                                      std::string& error) const;

private:
    std::map<std::string, std::string, std::less<>> m_values;
    std::vector<std::string> m_positional;
    std::string m_error;
};

} // namespace tarvex::cli
