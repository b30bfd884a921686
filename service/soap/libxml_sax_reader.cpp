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

// True when the UTF-16 `expected` spells the UTF-8 `actual`; ASCII is compared in place.
bool sameText(std::u16string_view expected, std::string_view actual, std::u16string& scratch) {
    if (expected.size() > actual.size()) {
        return false; // UTF-8 never takes fewer units than UTF-16
    }
    bool ascii = true;
    for (const char c : actual) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        if (expected.size() != actual.size()) {
            return false;
        }
        for (std::size_t i = 0; i < actual.size(); ++i) {
            if (expected[i] != static_cast<unsigned char>(actual[i])) {
                return false;
            }
        }
        return true;
    }
    scratch.clear();
    appendCodePageAsUtf16(actual, scratch);
    return scratch == expected;
}

// Names from libxml2 come from its dictionary: one pointer per distinct name for the whole
// parse. Their UTF-16 forms are kept by pointer, so a name is converted once per parse.
class NameCache {
public:
    void clear() {
        for (Slot& slot : m_slots) {
            slot.used = false;
        }
    }

    // The UTF-16 form of prefix ":" name (prefix may be null); views stay valid until the next
    // call that lands on the same slot.
    std::u16string_view get(Utf8 prefix, Utf8 name) {
        if (name == nullptr) {
            return {};
        }
        const auto key = (reinterpret_cast<std::uintptr_t>(name) >> 3) ^ (reinterpret_cast<std::uintptr_t>(prefix) >> 2);
        Slot& slot = m_slots[key % m_slots.size()];
        if (!slot.used || slot.prefix != prefix || slot.name != name) {
            slot.text.clear();
            if (prefix != nullptr) {
                appendCodePageAsUtf16(utf8View(prefix), slot.text);
                slot.text.push_back(u':');
            }
            appendCodePageAsUtf16(utf8View(name), slot.text);
            slot.prefix = prefix;
            slot.name = name;
            slot.used = true;
        }
        return slot.text;
    }

private:
    struct Slot {
        Utf8 prefix = nullptr;
        Utf8 name = nullptr;
        bool used = false;
        std::u16string text;
    };
    std::array<Slot, 64> m_slots;
};

// The attributes of the current element, as libxml2 gives them (five pointers each: local name,
// prefix, URI, value, value end), converted only when asked for.
class Attributes final : public SaxAttributes {
public:
    void reset(int count, const xmlChar** attributes) {
        m_count = count;
        m_raw = attributes;
        if (m_converted.size() < static_cast<std::size_t>(count)) {
            m_converted.resize(static_cast<std::size_t>(count));
        }
        for (int i = 0; i < count; ++i) {
            m_converted[static_cast<std::size_t>(i)].ready = false;
        }
    }

    [[nodiscard]] int count() const override { return m_count; }

    [[nodiscard]] HResult valueByName(std::u16string_view uri, std::u16string_view local,
                                      std::u16string_view& value) const override {
        for (int i = 0; i < m_count; ++i) {
            const xmlChar** a = raw(i);
            if (sameText(local, utf8View(a[0]), m_scratch) && sameText(uri, utf8View(a[2]), m_scratch)) {
                return this->value(i, value);
            }
        }
        return kInvalidArg;
    }

    [[nodiscard]] HResult valueByQName(std::u16string_view qname, std::u16string_view& value) const override {
        for (int i = 0; i < m_count; ++i) {
            const xmlChar** a = raw(i);
            const std::string_view prefix = utf8View(a[1]);
            const std::string_view local = utf8View(a[0]);
            bool match = false;
            if (a[1] == nullptr) {
                match = sameText(qname, local, m_scratch);
            } else if (qname.size() > prefix.size() && qname[prefix.size()] == u':') {
                match = sameText(qname.substr(0, prefix.size()), prefix, m_scratch) &&
                        sameText(qname.substr(prefix.size() + 1), local, m_scratch);
            }
            if (match) {
                return this->value(i, value);
            }
        }
        return kInvalidArg;
    }

    [[nodiscard]] HResult name(int index, std::u16string_view& uri, std::u16string_view& local,
                               std::u16string_view& qname) const override {
        if (index < 0 || index >= m_count) {
            return kInvalidArg;
        }
        const Converted& c = convert(index);
        uri = c.uri;
        local = std::u16string_view{c.qname}.substr(c.localOffset);
        qname = c.qname;
        return kOk;
    }

    [[nodiscard]] HResult value(int index, std::u16string_view& value) const override {
        if (index < 0 || index >= m_count) {
            return kInvalidArg;
        }
        value = convert(index).value;
        return kOk;
    }

private:
    struct Converted {
        bool ready = false;
        std::u16string uri;
        std::u16string qname;
        std::size_t localOffset = 0;
        std::u16string value;
    };

    [[nodiscard]] const xmlChar** raw(int index) const { return m_raw + static_cast<std::ptrdiff_t>(index) * 5; }

    // Each attribute has its own buffers, so views of several attributes stay valid together.
    const Converted& convert(int index) const {
        Converted& c = m_converted[static_cast<std::size_t>(index)];
        if (!c.ready) {
            const xmlChar** a = raw(index);
            c.uri.clear();
            c.qname.clear();
            c.value.clear();
            appendCodePageAsUtf16(utf8View(a[2]), c.uri);
            if (a[1] != nullptr) {
                appendCodePageAsUtf16(utf8View(a[1]), c.qname);
                c.qname.push_back(u':');
            }
            c.localOffset = c.qname.size();
            appendCodePageAsUtf16(utf8View(a[0]), c.qname);
            appendCodePageAsUtf16(utf8View(a[3], a[4]), c.value);
            c.ready = true;
        }
        return c;
    }

    int m_count = 0;
    const xmlChar** m_raw = nullptr;
    mutable std::vector<Converted> m_converted;
    mutable std::u16string m_scratch;
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
        m_uri = m_uris.get(nullptr, uri);
        m_local = m_locals.get(nullptr, local);
        m_qname = m_qnames.get(prefix, local);
    }

    SaxContentHandler* m_handler = nullptr;
    xmlParserCtxtPtr m_context = nullptr;
    HResult m_status = kOk;
    int m_depth = 0;
    // Reused across events: no allocation per event once they have grown.
    NameCache m_uris;
    NameCache m_locals;
    NameCache m_qnames;
    std::u16string_view m_uri;
    std::u16string_view m_local;
    std::u16string_view m_qname;
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
        for (std::ptrdiff_t i = 0; i < namespaceCount && reader.running(); ++i) {
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
        reader.m_attributes.reset(attributeCount, attributes);
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
    // A new parser has a new dictionary: names converted before may not be looked up by address.
    m_uris.clear();
    m_locals.clear();
    m_qnames.clear();
    m_context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
    if (m_context == nullptr) {
        return kOutOfMemory;
    }
    m_context->_private = this;
    xmlCtxtUseOptions(m_context, XML_PARSE_NONET | XML_PARSE_NOENT);
    // Some layers (encoding conversion) report through the thread's generic error function;
    // silence it for the parse and put back what was there.
    const xmlGenericErrorFunc savedErrorFunction = xmlGenericError;
    void* const savedErrorContext = xmlGenericErrorContext;
    xmlSetGenericErrorFunc(nullptr, ignoreMessage);

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
    xmlSetGenericErrorFunc(savedErrorContext, savedErrorFunction);
    return m_status;
}

} // namespace

std::unique_ptr<SaxReader> createSaxReader() {
    return std::unique_ptr<SaxReader>(new (std::nothrow) LibxmlSaxReader());
}

} // namespace tarvex::soap
