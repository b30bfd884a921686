#include "tarvex/arg_list.h"

#include <algorithm>
#include <charconv>

namespace tarvex::cli {

ArgList::ArgList(const std::vector<std::string>& words, const std::vector<std::string_view>& valued,
                 const std::vector<std::string_view>& flags) {
    const auto listed = [](const std::vector<std::string_view>& names, std::string_view name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    bool onlyPositional = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (onlyPositional || word.size() < 3 || word.compare(0, 2, "--") != 0) {
            if (word == "--") {
                onlyPositional = true;
                continue;
            }
            m_positional.push_back(word);
            continue;
        }
        std::string name = word.substr(2);
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (listed(flags, name)) {
            if (inlineValue) {
                m_error = "--" + name + " takes no value";
                return;
            }
            m_values[name] = "";
        } else if (listed(valued, name)) {
            if (inlineValue) {
                m_values[name] = *inlineValue;
            } else if (i + 1 < words.size()) {
                m_values[name] = words[++i];
            } else {
                m_error = "--" + name + " needs a value";
                return;
            }
        } else {
            m_error = "unknown option --" + name;
            return;
        }
    }
}

bool ArgList::has(std::string_view name) const {
    return m_values.find(name) != m_values.end();
}

std::optional<std::string> ArgList::value(std::string_view name) const {
    const auto it = m_values.find(name);
    if (it == m_values.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::int64_t> ArgList::integer(std::string_view name, std::int64_t fallback,
                                             std::int64_t min, std::int64_t max,
                                             std::string& error) const {
    const auto text = value(name);
    if (!text) {
        return fallback;
    }
    std::int64_t number = 0;
    const auto result = std::from_chars(text->data(), text->data() + text->size(), number);
    if (result.ec != std::errc{} || result.ptr != text->data() + text->size() || number < min ||
        number > max) {
        error = "--" + std::string{name} + " must be a whole number from " + std::to_string(min) +
                " to " + std::to_string(max) + ", not '" + *text + "'";
        return std::nullopt;
    }
    return number;
}

} // namespace tarvex::cli
