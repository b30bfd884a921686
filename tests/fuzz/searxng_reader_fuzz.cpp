// Any bytes as a SearXNG answer: a page within the caps or a refusal that says why, never a
// crash or a deep recursion. Every field is whole UTF-8 without surrounding whitespace.
#include "fuzz/upstream_page_checks.h"
#include "service/searxng_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvex::search;
    using tarvex::fuzz::fieldFits;
    using tarvex::fuzz::listFits;
    std::string error;
    const std::optional<UpstreamPage> page =
        readSearxngAnswer({reinterpret_cast<const char*>(data), size}, error);
    if (!page) {
        if (error.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    if (page->items.size() > kMaxUpstreamItems || (page->total && *page->total < 0) ||
        (page->total == 0 && !page->items.empty()) || !listFits(page->corrections) ||
        !listFits(page->suggestions)) {
        __builtin_trap();
    }
    for (const UpstreamItem& item : page->items) {
        if (!fieldFits(item.url) || !fieldFits(item.title) || !fieldFits(item.text)) {
            __builtin_trap();
        }
    }
    return 0;
}
