#include "text_collector.h"

#include <new>

namespace tarvex::soap {
namespace {

constexpr std::size_t kKeptUnits = std::size_t{512} << 10;

} // namespace

void TextCollector::install(SaxReader& reader, SaxContentHandler& owner,
                            std::u16string_view initialText) {
    m_owner = &owner;
    m_reader = &reader;
    m_depth = 0;
    m_buffer.clear();
    m_buffer.append(initialText);
    reader.setContentHandler(this);
}

HResult TextCollector::append(std::initializer_list<std::u16string_view> pieces) {
    try {
        for (const std::u16string_view piece : pieces) {
            m_buffer.append(piece);
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
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
    if (m_buffer.capacity() > kKeptUnits) {
        m_buffer = Utf16Buffer{}; // one long text does not keep its copy for the rest of the parse
    }
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
