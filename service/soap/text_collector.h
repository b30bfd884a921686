#pragma once

#include "base/utf16_buffer.h"
#include "soap/parse_budget.h"
#include "soap/sax_handler.h"
#include "soap/sax_reader.h"

#include <string>

namespace tarvex::soap {

// Installed for the length of one element, gathers its whole content as one text: character
// data as delivered, nested elements re-created as markup. At the element's end it gives the
// owner one characters event (also when empty), then the end-element, and hands the reader back.
class TextCollector final : public SaxContentHandler {
public:
    // `initialText` is content that arrived before the collector took over (throws
    // std::bad_alloc when it cannot be kept). With a `budget`, the gathered text is charged to
    // it before it grows, and text past it fails with kOutOfMemory (std::bad_alloc here).
    void install(SaxReader& reader, SaxContentHandler& owner, std::u16string_view initialText = {},
                 ParseBudget* budget = nullptr);

    [[nodiscard]] HResult startElement(std::u16string_view uri, std::u16string_view local,
                                       std::u16string_view qname,
                                       const SaxAttributes& attributes) override;
    [[nodiscard]] HResult endElement(std::u16string_view uri, std::u16string_view local,
                                     std::u16string_view qname) override;
    [[nodiscard]] HResult characters(std::u16string_view text) override;
    [[nodiscard]] HResult ignorableWhitespace(std::u16string_view text) override;

private:
    [[nodiscard]] HResult append(std::initializer_list<std::u16string_view> pieces);
    [[nodiscard]] bool chargeRoomFor(std::size_t units);
    void releaseText();

    SaxContentHandler* m_owner = nullptr;
    SaxReader* m_reader = nullptr;
    int m_depth = 0;
    Utf16Buffer m_buffer;
    ParseBudget* m_budget = nullptr;
    std::size_t m_charged = 0; // bytes the buffer grew by, charged to m_budget
};

// Installed for the length of one element, swallows it and everything in it, then hands the
// reader back to the owner. The swallowed element's end is not passed on.
class SkipHandler final : public SaxContentHandler {
public:
    void install(SaxReader& reader, SaxContentHandler& owner);

    [[nodiscard]] HResult startElement(std::u16string_view uri, std::u16string_view local,
                                       std::u16string_view qname,
                                       const SaxAttributes& attributes) override;
    [[nodiscard]] HResult endElement(std::u16string_view uri, std::u16string_view local,
                                     std::u16string_view qname) override;
    [[nodiscard]] HResult characters(std::u16string_view text) override;

private:
    SaxContentHandler* m_owner = nullptr;
    SaxReader* m_reader = nullptr;
    int m_depth = 0;
};

} // namespace tarvex::soap
