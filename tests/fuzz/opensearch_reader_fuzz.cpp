// Any bytes as an engine's OpenSearch answer: a page within the caps or a refusal that says
// why, never a crash. Every field is whole UTF-8 without surrounding whitespace.
#include "fuzz/upstream_page_checks.h"
#include "service/opensearch_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvex::search;
    using tarvex::fuzz::fieldFits;
    std::string error;
    const std::optional<UpstreamPage> page =
        readOpenSearchAnswer({reinterpret_cast<const char*>(data), size}, error);
    if (!page) {
        if (error.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    if (page->items.size() > kMaxUpstreamItems || (page->total && *page->total < 0) ||
        !page->corrections.empty() || !page->suggestions.empty()) {
        __builtin_trap();
    }
    for (const UpstreamItem& item : page->items) {
        if (!fieldFits(item.url) || !fieldFits(item.title) || !fieldFits(item.text)) {
            __builtin_trap();
        }
    }
    return 0;
}
