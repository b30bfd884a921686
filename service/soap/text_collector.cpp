#include "soap/text_collector.h"

#include <algorithm>
#include <new>

namespace tarvex::soap {
namespace {

constexpr std::size_t kKeptUnits = std::size_t{512} << 10;

} // namespace

void TextCollector::install(SaxReader& reader, SaxContentHandler& owner,
                            std::u16string_view initialText, ParseBudget* budget) {
    m_owner = &owner;
    m_reader = &reader;
    m_depth = 0;
    m_budget = budget;
    m_charged = 0;
    m_buffer.clear();
    if (!chargeRoomFor(initialText.size())) {
        throw std::bad_alloc{};
    }
    m_buffer.append(initialText);
    reader.setContentHandler(this);
}

HResult TextCollector::append(std::initializer_list<std::u16string_view> pieces) {
    std::size_t needed = m_buffer.size();
    for (const std::u16string_view piece : pieces) {
        needed += piece.size();
    }
    if (!chargeRoomFor(needed)) {
        return kOutOfMemory;
    }
    try {
        m_buffer.reserve(needed);
        for (const std::u16string_view piece : pieces) {
            m_buffer.append(piece);
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

// Charges what the buffer grows by when it makes room for `units`, before it grows. The room
// kept from earlier texts (at most kKeptUnits) is not charged again.
bool TextCollector::chargeRoomFor(std::size_t units) {
    const std::size_t growth = m_buffer.capacityFor(units) - m_buffer.capacity();
    if (m_budget == nullptr || growth == 0) {
        return true;
    }
    if (!m_budget->take(growth * sizeof(char16_t))) {
        return false;
    }
    m_charged += growth * sizeof(char16_t);
    return true;
}

// The owner has its own copy of the text now: what the buffer grew by goes back to the budget,
// and one long text does not keep its buffer for the rest of the parse.
void TextCollector::releaseText() {
    if (m_budget != nullptr) {
        m_budget->give(m_charged);
    }
    m_charged = 0;
    if (m_buffer.capacity() > kKeptUnits) {
        m_buffer = Utf16Buffer{};
    }
}

HResult TextCollector::startElement(std::u16string_view /*uri*/, std::u16string_view /*local*/,
                                    std::u16string_view qname, const SaxAttributes& attributes) {
    if (m_depth == 0) {
        m_depth = 1;
    }
    ++m_depth;
    HResult status = append({u"<", qname});
    for (int i = 0; i < attributes.count() && !failed(status); ++i) {
        std::u16string_view uri;
        std::u16string_view local;
        std::u16string_view name;
        std::u16string_view value;
        status = attributes.name(i, uri, local, name);
        if (!failed(status)) {
            status = attributes.value(i, value);
        }
        if (!failed(status)) {
            status = append({u" ", name, u"=\"", value, u"\""});
        }
    }
    return failed(status) ? status : append({u">"});
}

HResult TextCollector::endElement(std::u16string_view uri, std::u16string_view local,
                                  std::u16string_view qname) {
    if (m_depth != 0) {
        --m_depth;
    }
    if (m_depth != 0) {
        return append({u"</", qname, u">"});
    }
    // The installed element has ended: the owner gets its content, then its end, and the reader.
    SaxContentHandler& owner = *m_owner;
    HResult status = owner.characters(m_buffer.view());
    releaseText();
    if (!failed(status)) {
        status = owner.endElement(uri, local, qname);
    }
    m_reader->setContentHandler(&owner);
    return status;
}

HResult TextCollector::characters(std::u16string_view text) {
    return append({text});
}

HResult TextCollector::ignorableWhitespace(std::u16string_view text) {
    return append({text});
}

void SkipHandler::install(SaxReader& reader, SaxContentHandler& owner) {
    m_owner = &owner;
    m_reader = &reader;
    m_depth = 1;
    reader.setContentHandler(this);
}

HResult SkipHandler::startElement(std::u16string_view /*uri*/, std::u16string_view /*local*/,
                                  std::u16string_view /*qname*/,
                                  const SaxAttributes& /*attributes*/) {
    ++m_depth;
    return kOk;
}

HResult SkipHandler::endElement(std::u16string_view /*uri*/, std::u16string_view /*local*/,
                                std::u16string_view /*qname*/) {
    if (m_depth != 0) {
        --m_depth;
    }
    if (m_depth == 0) {
        m_reader->setContentHandler(m_owner);
    }
    return kOk;
}

HResult SkipHandler::characters(std::u16string_view /*text*/) {
    return kOk;
}

} // namespace tarvex::soap
