// Any bytes as the query string of the local service's search page: the page is built or
// refused, and no byte of the query reaches the page as markup. The index is the built-in
// corpus, built once.
#include "service/search_index.h"
#include "service/web_pages.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvex::search;
    static SearchIndex index{readCorpus(bundledCorpusText()), 1};
    static const WebPages pages{index, KeyRules{}};
    const WebPage page = pages.search({reinterpret_cast<const char*>(data), size});
    if (page.status != 200 && page.status != 414 && page.status != 500) {
        __builtin_trap();
    }
    // The page's own markup has no script; a query that smuggled one in would show here.
    if (page.html.find("<script") != std::string::npos) {
        __builtin_trap();
    }
    return 0;
}
