// Any bytes as the body of a doGoogleSearch response: the parse either fails cleanly or yields
// a result that is then released. The split of the bytes into pushes is taken from the input.
#include "byte_stream.h"
#include "google_search_handler.h"
#include "sax_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvex;
    if (size == 0) {
        return 0;
    }
    static const auto reader = soap::createSaxReader();
    const std::size_t chunk = data[0] % 8; // 0: whole
    const std::string_view body{reinterpret_cast<const char*>(data) + 1, size - 1};
    soap::MemoryStream stream{body, chunk};
    proxy::GoogleSearchResult result{};
    if (!failed(proxy::parseDoGoogleSearchResponse(*reader, stream, result))) {
        proxy::releaseGoogleSearchResult(result);
    }
    return 0;
}
