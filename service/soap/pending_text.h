#pragma once

#include "base/status.h"
#include "base/utf16_buffer.h"
#include "soap/sax_handler.h"

#include <cstddef>
#include <memory>
#include <string_view>

namespace tarvex::soap {

// Character data waiting to be handed on. libxml2 splits text at every reference and buffer end;
// the pieces are gathered here and handed on as one event before the next element event. The
// pieces are kept as UTF-8 and converted once.
class PendingText {
public:
    // Appending never throws.
    [[nodiscard]] bool append(std::string_view text) noexcept;
    [[nodiscard]] bool empty() const { return m_size == 0; }
    void clear() { m_size = 0; }
    // Hands what is gathered to `handler` (if any) as one characters event and empties the
    // gathered bytes. kOutOfMemory when the text cannot be converted, otherwise the handler's
    // status.
    [[nodiscard]] HResult flush(SaxContentHandler* handler);
    // Empty again; large blocks go back to the heap.
    void clearAndTrim();

private:
    bool grow(std::size_t length) noexcept;
    void clearAndTrimBytes();
    void trimText();

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    Utf16Buffer m_text; // the converted text of the last flush
};

} // namespace tarvex::soap
