#pragma once

#include "base/status.h"
#include "base/utf16_buffer.h"
#include "soap/libxml_utf8.h"
#include "soap/sax_handler.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace tarvex::soap {

// The attributes of the current element, as libxml2 gives them (five pointers each: local name,
// prefix, URI, value, value end), converted only when asked for.
class LibxmlAttributes final : public SaxAttributes {
public:
    void reset(int count, const xmlChar** attributes);

    [[nodiscard]] int count() const override { return m_count; }
    [[nodiscard]] HResult valueByName(std::u16string_view uri, std::u16string_view local,
                                      std::u16string_view& value) const override;
    [[nodiscard]] HResult valueByQName(std::u16string_view qname,
                                       std::u16string_view& value) const override;
    [[nodiscard]] HResult name(int index, std::u16string_view& uri, std::u16string_view& local,
                               std::u16string_view& qname) const override;
    [[nodiscard]] HResult value(int index, std::u16string_view& value) const override;

private:
    struct Converted {
        bool ready = false;
        Utf16Buffer uri;
        Utf16Buffer qname;
        std::size_t localOffset = 0;
        Utf16Buffer value;
    };

    [[nodiscard]] const xmlChar** raw(int index) const {
        return m_raw + static_cast<std::ptrdiff_t>(index) * 5;
    }

    // Each attribute has its own buffers, so views of several attributes stay valid together.
    const Converted& convert(int index) const;

    int m_count = 0;
    const xmlChar** m_raw = nullptr;
    mutable std::vector<Converted> m_converted;
    mutable Utf16Buffer m_scratch;
};

} // namespace tarvex::soap
