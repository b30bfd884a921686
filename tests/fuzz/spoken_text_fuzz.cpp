// Any bytes as a line of a result's mark-up (titles, snippets and URLs come from the service), as
// read to a screen reader: no control character and no doubled or edge blank comes out, and the
// text never grows.
#include "ui/spoken_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view markup{reinterpret_cast<const char*>(data), size};
    const std::string spoken = tarvex::ui::spokenText(markup);
    bool blank = true; // no blank at the start
    for (const char c : spoken) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (c == ' ' && blank)) {
            std::abort();
        }
        blank = c == ' ';
    }
    if (spoken.size() > markup.size() || (!spoken.empty() && spoken.back() == ' ')) {
        std::abort();
    }
    return 0;
}
