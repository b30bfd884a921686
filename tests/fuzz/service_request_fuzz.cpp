// Any bytes as a request body to the local search service: the answer is a response or a
// fault, never a crash. The index is the built-in corpus, built once.
#include "service/search_index.h"
#include "service/search_service.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvex::search;
    static SearchIndex index{readCorpus(bundledCorpusText()), 1};
    static SearchService service{index, [] {
                                     ServiceOptions options;
                                     options.quota = 1'000'000;
                                     options.today = [] { return 0; };
                                     return options;
                                 }()};
    const ServiceReply reply = service.answer({reinterpret_cast<const char*>(data), size});
    if (reply.status != 200 && reply.status != 500) {
        __builtin_trap();
    }
    return 0;
}
