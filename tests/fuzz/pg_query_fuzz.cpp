// Any bytes as a user's query turned into a PostgreSQL text search condition: nothing of the
// query enters the SQL (only placeholders, numbered from the first one asked for, and operators,
// with balanced parentheses), and every parameter is text the server takes: valid UTF-8 without
// a zero byte.
#include "service/pg_query.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool serverText(const std::string& text) {
    return text.find('\0') == std::string::npos && tarvex::search::validUtf8(text) == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int first = 1 + data[0] % 5;
    const std::string_view query{reinterpret_cast<const char*>(data) + 1, size - 1};
    const tarvex::search::PgQuery result = tarvex::search::pgQuery(query, first);

    std::string_view rest = result.tsquery;
    std::size_t placeholders = 0;
    int depth = 0;
    while (!rest.empty()) {
        const std::string call =
            "phraseto_tsquery('simple', $" + std::to_string(first + placeholders) + ")";
        if (rest.starts_with(call)) {
            rest.remove_prefix(call.size());
            ++placeholders;
            continue;
        }
        const char c = rest.front();
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (std::string_view{"()&|! "}.find(c) == std::string_view::npos || depth < 0) {
            std::abort();
        }
        rest.remove_prefix(1);
    }
    if (depth != 0 || placeholders != result.parameters.size() || !serverText(result.site)) {
        std::abort();
    }
    for (const std::string& parameter : result.parameters) {
        if (!serverText(parameter)) {
            std::abort();
        }
    }
    return 0;
}
