// The SAX reader on libxml2's SAX2 push parser. Only the callbacks the reader needs are set, so
// nothing is fetched or expanded; a DOCTYPE stops the parse.
#include "code_page.h"
#include "sax_reader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <array>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace tarvex::soap {
namespace {

using Utf8 = const xmlChar*;

std::string_view utf8View(Utf8 text) {
    return text == nullptr ? std::string_view{}
                           : std::string_view{reinterpret_cast<const char*>(text)};
}

std::string_view utf8View(Utf8 begin, Utf8 end) {
    return {reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin)};
}

// Offsets into one reused text arena; views are made once the arena is complete.
struct Span {
    std::size_t offset = 0;
    std::size_t length = 0;
};

Span appendSpan(std::u16string& arena, std::string_view utf8) {
    const std::size_t offset = arena.size();
    appendCodePageAsUtf16(utf8, arena);
    return Span{offset, arena.size() - offset};
}

class Attributes final : public SaxAttributes {
public:
    struct Entry {
        Span uri;
        Span local;
        Span qname;
        Span value;
    };

    void clear() {
        m_arena.clear();
        m_entries.clear();
    }

    // libxml2 gives five pointers per attribute: local name, prefix, URI, value, value end.
    void fill(int count, const xmlChar** attributes) {
        for (int i = 0; i < count; ++i) {
            const xmlChar** a = attributes + static_cast<std::ptrdiff_t>(i) * 5;
            Entry entry;
            entry.uri = appendSpan(m_arena, utf8View(a[2]));
            entry.local = appendSpan(m_arena, utf8View(a[0]));
            entry.qname.offset = m_arena.size();
            if (a[1] != nullptr) {
                appendCodePageAsUtf16(utf8View(a[1]), m_arena);
                m_arena.push_back(u':');
            }
            appendCodePageAsUtf16(utf8View(a[0]), m_arena);
            entry.qname.length = m_arena.size() - entry.qname.offset;
            entry.value = appendSpan(m_arena, utf8View(a[3], a[4]));
            m_entries.push_back(entry);
        }
    }

    [[nodiscard]] int count() const override { return static_cast<int>(m_entries.size()); }

    [[nodiscard]] HResult valueByName(std::u16string_view uri, std::u16string_view local,
                                      std::u16string_view& value) const override {
        for (const Entry& entry : m_entries) {
            if (view(entry.local) == local && view(entry.uri) == uri) {
                value = view(entry.value);
                return kOk;
            }
        }
        return kInvalidArg;
    }

    [[nodiscard]] HResult valueByQName(std::u16string_view qname,
                                       std::u16string_view& value) const override {
        for (const Entry& entry : m_entries) {
            if (view(entry.qname) == qname) {
                value = view(entry.value);
                return kOk;
            }
        }
        return kInvalidArg;
    }

    [[nodiscard]] HResult name(int index, std::u16string_view& uri, std::u16string_view& local,
                               std::u16string_view& qname) const override {
        if (index < 0 || index >= count()) {
            return kInvalidArg;
        }
        const Entry& entry = m_entries[static_cast<std::size_t>(index)];
        uri = view(entry.uri);
        local = view(entry.local);
        qname = view(entry.qname);
        return kOk;
    }

    [[nodiscard]] HResult value(int index, std::u16string_view& value) const override {
        if (index < 0 || index >= count()) {
            return kInvalidArg;
        }
        value = view(m_entries[static_cast<std::size_t>(index)].value);
        return kOk;
    }

private:
    [[nodiscard]] std::u16string_view view(Span span) const {
        return std::u16string_view{m_arena}.substr(span.offset, span.length);
    }

    std::u16string m_arena;
    std::vector<Entry> m_entries;
};

class LibxmlSaxReader final : public SaxReader {
public:
    void setContentHandler(SaxContentHandler* handler) override { m_handler = handler; }
    [[nodiscard]] SaxContentHandler* contentHandler() const override { return m_handler; }
    [[nodiscard]] HResult parse(ByteStream& stream) override;

private:
    static LibxmlSaxReader& self(void* context) {
        return *static_cast<LibxmlSaxReader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    }

    // Records the first failure and stops libxml2 from calling back any more.
    void fail(HResult status) {
        if (!failed(m_status)) {
            m_status = status;
        }
        xmlStopParser(m_context);
    }

    [[nodiscard]] bool running() const { return !failed(m_status); }

    static void onStartElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri, int namespaceCount,
                               const xmlChar** namespaces, int attributeCount, int defaulted,
                               const xmlChar** attributes);
    static void onEndElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri);
    static void onCharacters(void* context, Utf8 text, int length);
    static void onIgnorableWhitespace(void* context, Utf8 text, int length);
    static void onInternalSubset(void* context, Utf8 name, Utf8 externalId, Utf8 systemId);

    void convertNames(Utf8 local, Utf8 prefix, Utf8 uri) {
        m_uri.clear();
        m_local.clear();
        m_qname.clear();
        appendCodePageAsUtf16(utf8View(uri), m_uri);
        appendCodePageAsUtf16(utf8View(local), m_local);
        if (prefix != nullptr) {
            appendCodePageAsUtf16(utf8View(prefix), m_qname);
            m_qname.push_back(u':');
        }
        m_qname += m_local;
    }

    SaxContentHandler* m_handler = nullptr;
    xmlParserCtxtPtr m_context = nullptr;
    HResult m_status = kOk;
    int m_depth = 0;
    // Reused across events: no allocation per event once they have grown.
    std::u16string m_uri;
    std::u16string m_local;
    std::u16string m_qname;
    std::u16string m_text;
    std::u16string m_prefix;
    Attributes m_attributes;
};

void LibxmlSaxReader::onStartElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri,
                                     int namespaceCount, const xmlChar** namespaces,
                                     int attributeCount, int /*defaulted*/,
                                     const xmlChar** attributes) {
    LibxmlSaxReader& reader = self(context);
    if (!reader.running()) {
        return;
    }
    if (++reader.m_depth > kMaxElementDepth) {
        reader.fail(kFail);
        return;
    }
    try {
        // Namespace declarations come as prefix/URI pairs, before the element itself.
        for (int i = 0; i < namespaceCount && reader.running(); ++i) {
            reader.m_prefix.clear();
            reader.m_text.clear();
            appendCodePageAsUtf16(utf8View(namespaces[2 * i]), reader.m_prefix);
            appendCodePageAsUtf16(utf8View(namespaces[2 * i + 1]), reader.m_text);
            if (reader.m_handler != nullptr) {
                if (const HResult status =
                        reader.m_handler->startPrefixMapping(reader.m_prefix, reader.m_text);
                    failed(status)) {
                    reader.fail(status);
                }
            }
        }
        if (!reader.running()) {
            return;
        }
        reader.convertNames(local, prefix, uri);
        reader.m_attributes.clear();
        reader.m_attributes.fill(attributeCount, attributes);
    } catch (const std::bad_alloc&) {
        reader.fail(kOutOfMemory);
        return;
    }
    if (reader.m_handler != nullptr) {
        if (const HResult status = reader.m_handler->startElement(
                reader.m_uri, reader.m_local, reader.m_qname, reader.m_attributes);
            failed(status)) {
            reader.fail(status);
        }
    }
}

void LibxmlSaxReader::onEndElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri) {
    LibxmlSaxReader& reader = self(context);
    if (!reader.running()) {
        return;
    }
    --reader.m_depth;
    try {
        reader.convertNames(local, prefix, uri);
    } catch (const std::bad_alloc&) {
        reader.fail(kOutOfMemory);
        return;
    }
    if (reader.m_handler != nullptr) {
        if (const HResult status =
                reader.m_handler->endElement(reader.m_uri, reader.m_local, reader.m_qname);
            failed(status)) {
            reader.fail(status);
        }
    }
}

void LibxmlSaxReader::onCharacters(void* context, Utf8 text, int length) {
    LibxmlSaxReader& reader = self(context);
    if (!reader.running() || reader.m_handler == nullptr) {
        return;
    }
    try {
        reader.m_text.clear();
        appendCodePageAsUtf16(utf8View(text, text + length), reader.m_text);
    } catch (const std::bad_alloc&) {
        reader.fail(kOutOfMemory);
        return;
    }
    if (const HResult status = reader.m_handler->characters(reader.m_text); failed(status)) {
        reader.fail(status);
    }
}

void LibxmlSaxReader::onIgnorableWhitespace(void* context, Utf8 text, int length) {
    LibxmlSaxReader& reader = self(context);
    if (!reader.running() || reader.m_handler == nullptr) {
        return;
    }
    try {
        reader.m_text.clear();
        appendCodePageAsUtf16(utf8View(text, text + length), reader.m_text);
    } catch (const std::bad_alloc&) {
        reader.fail(kOutOfMemory);
        return;
    }
    if (const HResult status = reader.m_handler->ignorableWhitespace(reader.m_text);
        failed(status)) {
        reader.fail(status);
    }
}

void LibxmlSaxReader::onInternalSubset(void* context, Utf8 /*name*/, Utf8 /*externalId*/,
                                       Utf8 /*systemId*/) {
    // SOAP 1.1 3: a message must not contain a DOCTYPE.
    self(context).fail(kFail);
}

void ignoreMessage(void* /*context*/, const char* /*format*/, ...) {}
void ignoreStructuredError(void* /*context*/, xmlErrorPtr /*error*/) {}

HResult LibxmlSaxReader::parse(ByteStream& stream) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });

    // A bare handler: no entity or DTD callbacks, messages silenced (failures come back as status).
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.warning = ignoreMessage;
    sax.error = ignoreMessage;
    sax.fatalError = ignoreMessage;
    sax.serror = ignoreStructuredError;
    sax.startElementNs = onStartElement;
    sax.endElementNs = onEndElement;
    sax.characters = onCharacters;
    sax.cdataBlock = onCharacters;
    sax.ignorableWhitespace = onIgnorableWhitespace;
    sax.internalSubset = onInternalSubset;

    m_status = kOk;
    m_depth = 0;
    m_context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
    if (m_context == nullptr) {
        return kOutOfMemory;
    }
    m_context->_private = this;
    xmlCtxtUseOptions(m_context, XML_PARSE_NONET | XML_PARSE_NOENT);

    std::array<char, 16384> buffer{};
    bool ended = false;
    while (running() && !ended) {
        std::size_t count = 0;
        if (const HResult status = stream.read(buffer.data(), buffer.size(), count);
            failed(status)) {
            fail(status);
            break;
        }
        ended = count == 0;
        const int error =
            xmlParseChunk(m_context, buffer.data(), static_cast<int>(count), ended ? 1 : 0);
        if (error != 0 && running()) {
            fail(kFail);
        }
    }
    // A stopped parser, an error number or an unbound prefix is a failure even where libxml2
    // returned 0.
    if (running() && (m_context->errNo != 0 || m_context->wellFormed == 0 ||
                      m_context->nsWellFormed == 0 || m_context->disableSAX != 0)) {
        m_status = kFail;
    }
    xmlFreeParserCtxt(m_context);
    m_context = nullptr;
    return m_status;
}

} // namespace

std::unique_ptr<SaxReader> createSaxReader() {
    return std::unique_ptr<SaxReader>(new (std::nothrow) LibxmlSaxReader());
}

} // namespace tarvex::soap
