#include "service/stanza_reader.h"

#include "base/ascii_case.h"

#include <algorithm>

namespace tarvex::search {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

std::string_view Stanza::value(std::string_view name) const {
    for (const auto& [fieldName, fieldValue] : fields) {
        if (sameIgnoringAsciiCase(fieldName, name)) {
            return fieldValue;
        }
    }
    return {};
}

bool Stanza::has(std::string_view name) const {
    return std::any_of(fields.begin(), fields.end(), [name](const auto& field) {
        return sameIgnoringAsciiCase(field.first, name);
    });
}

std::vector<Stanza> readStanzas(std::string_view text, std::size_t* badLines) {
    std::vector<Stanza> stanzas;
    Stanza current;
    std::size_t bad = 0;
    const auto finish = [&] {
        if (!current.fields.empty()) {
            stanzas.push_back(std::move(current));
            current = Stanza{};
        }
    };
    std::size_t position = 0;
    while (position < text.size()) {
        auto end = text.find('\n', position);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(position, end - position);
        position = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (trimmed(line).empty()) {
            finish();
        } else if (line.front() == '#') {
            continue;
        } else if (line.front() == ' ' || line.front() == '\t') {
            if (current.fields.empty()) {
                ++bad;
                continue;
            }
            std::string_view rest = line.substr(1);
            if (trimmed(rest) == ".") {
                rest = {};
            }
            std::string& value = current.fields.back().second;
            value += '\n';
            value += rest;
        } else {
            const auto colon = line.find(':');
            const std::string_view name = colon == std::string_view::npos
                                              ? std::string_view{}
                                              : trimmed(line.substr(0, colon));
            if (name.empty() || name.find_first_of(" \t") != std::string_view::npos) {
                ++bad;
                continue;
            }
            current.fields.emplace_back(std::string{name},
                                        std::string{trimmed(line.substr(colon + 1))});
        }
    }
    finish();
    if (badLines != nullptr) {
        *badLines = bad;
    }
    return stanzas;
}

} // namespace tarvex::search
