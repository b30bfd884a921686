// SearXNG's JSON answers, parsed without exceptions after a scan that bounds their nesting.
#include "service/searxng_reader.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex::search {
namespace {

using Json = nlohmann::json;

// True when arrays and objects outside strings nest deeper than kMaxSearxngNesting. The parser
// stops at the first thing that is no JSON, so what follows a stray closing bracket never nests.
bool nestsTooDeep(std::string_view body) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : body) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxSearxngNesting) {
                return true;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// `text` without surrounding whitespace, cut at kMaxUpstreamTextBytes on a character boundary
// (the parser has checked that strings are UTF-8).
std::string fitted(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    text = text.substr(0, characterBoundary(text, kMaxUpstreamTextBytes));
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return std::string{text};
}

// The top-level members the reader uses; the rest are dropped while parsing.
enum class Member { Other, Results, Total, Suggestions, Corrections };

Member memberNamed(std::string_view name) {
    if (name == "results") {
        return Member::Results;
    }
    if (name == "number_of_results") {
        return Member::Total;
    }
    if (name == "suggestions") {
        return Member::Suggestions;
    }
    if (name == "corrections") {
        return Member::Corrections;
    }
    return Member::Other;
}

// Keeps of the answer only what is read and counts the elements of its lists as they come, so
// that a list past its cap is not built up in full. Depths are the parser's: 1 for the members
// of the top-level object, 2 for the elements of their values, 3 for the members of a result.
class AnswerFilter {
public:
    bool keep(int depth, Json::parse_event_t event, const Json& parsed) {
        using Event = Json::parse_event_t;
        if (depth == 1 && event == Event::key) {
            m_member = memberNamed(parsed.get_ref<const std::string&>());
            m_count = 0;
            return m_member != Member::Other;
        }
        if (depth == 2 && m_member != Member::Other && m_member != Member::Total &&
            (event == Event::value || event == Event::object_end || event == Event::array_end)) {
            if (++m_count > kMaxUpstreamItems) {
                m_overfull = m_member;
                return false;
            }
            return true;
        }
        if (depth == 3 && event == Event::key && m_member == Member::Results) {
            const std::string& name = parsed.get_ref<const std::string&>();
            return name == "url" || name == "title" || name == "content";
        }
        return true;
    }

    // The list that went past kMaxUpstreamItems; Other when none did.
    [[nodiscard]] Member overfull() const { return m_overfull; }

private:
    Member m_member = Member::Other;
    std::size_t m_count = 0;
    Member m_overfull = Member::Other;
};

// A string member of `object`, fitted; empty when absent or of another type.
std::string stringMember(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) {
        return {};
    }
    return fitted(found->get_ref<const std::string&>());
}

// number_of_results when it is a whole number from 0 to the int64 maximum.
std::optional<std::int64_t> countOf(const Json& value) {
    if (value.is_number_unsigned()) {
        const auto count = value.get<std::uint64_t>();
        if (count <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(count);
        }
    } else if (value.is_number_integer()) {
        if (const auto count = value.get<std::int64_t>(); count >= 0) {
            return count;
        }
    } else if (value.is_number_float()) {
        // 2^63 is the first double past the int64 range.
        constexpr double kPastInt64 = 9223372036854775808.0;
        if (const double count = value.get<double>();
            count >= 0 && count < kPastInt64 && std::floor(count) == count) {
            return static_cast<std::int64_t>(count);
        }
    }
    return std::nullopt;
}

// The non-empty strings of `value` when it is an array; its other elements are skipped.
std::vector<std::string> stringsOf(const Json* value) {
    std::vector<std::string> strings;
    if (value == nullptr || !value->is_array()) {
        return strings;
    }
    for (const Json& element : *value) {
        if (element.is_string()) {
            if (std::string text = fitted(element.get_ref<const std::string&>()); !text.empty()) {
                strings.push_back(std::move(text));
            }
        }
    }
    return strings;
}

const Json* memberOf(const Json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

std::optional<UpstreamPage> readAnswer(std::string_view body, std::string& error) {
    AnswerFilter filter;
    const Json answer = Json::parse(
        body.begin(), body.end(),
        [&filter](int depth, Json::parse_event_t event, Json& parsed) {
            return filter.keep(depth, event, parsed);
        },
        false);
    if (answer.is_discarded()) {
        error = "not a JSON answer";
        return std::nullopt;
    }
    switch (filter.overfull()) {
    case Member::Results:
        error = "too many results";
        return std::nullopt;
    case Member::Suggestions:
        error = "too many suggestions";
        return std::nullopt;
    case Member::Corrections:
        error = "too many corrections";
        return std::nullopt;
    case Member::Other:
    case Member::Total:
        break;
    }
    const Json* results = answer.is_object() ? memberOf(answer, "results") : nullptr;
    if (results == nullptr || !results->is_array()) {
        error = "no results array";
        return std::nullopt;
    }
    UpstreamPage page;
    for (const Json& result : *results) {
        if (result.is_object()) {
            page.items.push_back(UpstreamItem{stringMember(result, "url"),
                                              stringMember(result, "title"),
                                              stringMember(result, "content")});
        }
    }
    if (const Json* total = memberOf(answer, "number_of_results"); total != nullptr) {
        page.total = countOf(*total);
        // SearXNG sends 0 when its engines gave no count; with results in hand that 0 is no
        // count at all.
        if (page.total == 0 && !page.items.empty()) {
            page.total.reset();
        }
    }
    page.corrections = stringsOf(memberOf(answer, "corrections"));
    page.suggestions = stringsOf(memberOf(answer, "suggestions"));
    return page;
}

} // namespace

std::optional<UpstreamPage> readSearxngAnswer(std::string_view body, std::string& error) {
    if (body.size() > kMaxUpstreamBytes) {
        error = "answer too large";
        return std::nullopt;
    }
    if (nestsTooDeep(body)) {
        error = "nested too deep";
        return std::nullopt;
    }
    try {
        return readAnswer(body, error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return std::nullopt;
    }
}

} // namespace tarvex::search
