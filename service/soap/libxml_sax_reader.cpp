// The SAX reader on libxml2's SAX2 push parser. Only the callbacks the reader needs are set, so
// nothing is fetched or expanded; a DOCTYPE, or an XML declaration naming an encoding other than
// UTF-8 or UTF-16, stops the parse.
#include "base/ascii_case.h"
#include "base/utf16_buffer.h"
#include "soap/libxml_attributes.h"
#include "soap/libxml_context.h"
#include "soap/libxml_name_cache.h"
#include "soap/libxml_utf8.h"
#include "soap/pending_text.h"
#include "soap/sax_reader.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

namespace tarvex::soap {
namespace {

// libxml2 reads a start tag once its '>' has arrived, and then compares each attribute with all
// the ones before it. A tag still waiting for its end is counted here as its bytes come, so
// that one with too many attributes fails before libxml2 takes it in.
class PendingTagCounter {
public:
    // The attributes (each has one '=' outside the quoted values) in the tag starting at
    // document offset `start`, of which `tag` holds what has arrived; earlier bytes of the same
    // tag are not read again.
    int count(std::uint64_t start, std::string_view tag) {
        if (start != m_start) {
            m_start = start;
            m_scanned = 0;
            m_quote = 0;
            m_count = 0;
        }
        for (; m_scanned < tag.size() && !(m_quote == 0 && tag[m_scanned] == '>'); ++m_scanned) {
            const char c = tag[m_scanned];
            if (m_quote != 0) {
                if (c == m_quote) {
                    m_quote = 0;
                }
            } else if (c == '"' || c == '\'') {
                m_quote = c;
            } else if (c == '=') {
                ++m_count;
            }
        }
        return m_count;
    }
    void reset() { m_start = kNone; }

private:
    static constexpr std::uint64_t kNone = ~std::uint64_t{0};
    std::uint64_t m_start = kNone;
    std::size_t m_scanned = 0;
    char m_quote = 0;
    int m_count = 0;
};

class LibxmlSaxReader final : public SaxReader {
public:
    void setContentHandler(SaxContentHandler* handler) override { m_handler = handler; }
    [[nodiscard]] SaxContentHandler* contentHandler() const override { return m_handler; }
    [[nodiscard]] HResult parse(ByteStream& stream) override;

private:
    static LibxmlSaxReader& self(void* context) {
        return *static_cast<LibxmlSaxReader*>(contextOwner(context));
    }

    // Records the first failure and stops libxml2 from calling back any more.
    void fail(HResult status) {
        if (!failed(m_status)) {
            m_status = status;
        }
        xmlStopParser(m_context);
    }

    [[nodiscard]] bool running() const { return !failed(m_status); }

    // False when libxml2 waits for the end of a start tag that already has too many attributes.
    [[nodiscard]] bool pendingTagFits() {
        const std::optional<PendingStartTag> tag = pendingStartTag(m_context);
        if (!tag) {
            return true;
        }
        return m_pendingTag.count(tag->start, tag->bytes) <= kMaxAttributes;
    }

    static void onStartElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri, int namespaceCount,
                               const xmlChar** namespaces, int attributeCount, int defaulted,
                               const xmlChar** attributes);
    static void onEndElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri);
    static void onCharacters(void* context, Utf8 text, int length);
    static void onIgnorableWhitespace(void* context, Utf8 text, int length);
    static void onInternalSubset(void* context, Utf8 name, Utf8 externalId, Utf8 systemId);
    static void onStartDocument(void* context);

    // Hands the gathered character data on as one event.
    void flushText() {
        if (!running()) {
            return;
        }
        if (const HResult status = m_pendingText.flush(m_handler); failed(status)) {
            fail(status);
        }
    }

    void convertNames(Utf8 local, Utf8 prefix, Utf8 uri) {
        const LibxmlNameCache::Names names = m_names.get(local, prefix, uri);
        m_uri = names.uri;
        m_local = names.local;
        m_qname = names.qname;
    }

    SaxContentHandler* m_handler = nullptr;
    xmlParserCtxtPtr m_context = nullptr;
    HResult m_status = kOk;
    int m_depth = 0;
    // Reused across events: no allocation per event once they have grown.
    LibxmlNameCache m_names;
    std::u16string_view m_uri;
    std::u16string_view m_local;
    std::u16string_view m_qname;
    PendingText m_pendingText; // character data not yet handed on
    PendingTagCounter m_pendingTag;
    Utf16Buffer m_prefix;
    Utf16Buffer m_prefixUri;
    LibxmlAttributes m_attributes;
};

void LibxmlSaxReader::onStartElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri,
                                     int namespaceCount, const xmlChar** namespaces,
                                     int attributeCount, int /*defaulted*/,
                                     const xmlChar** attributes) {
    LibxmlSaxReader& reader = self(context);
    reader.flushText();
    if (!reader.running()) {
        return;
    }
    if (++reader.m_depth > kMaxElementDepth ||
        attributeCount > kMaxAttributes - std::max(namespaceCount, 0)) {
        reader.fail(kFail);
        return;
    }
    try {
        // Namespace declarations come as prefix/URI pairs, before the element itself.
        for (std::ptrdiff_t i = 0; i < namespaceCount && reader.running(); ++i) {
            reader.m_prefix.clear();
            reader.m_prefixUri.clear();
            reader.m_prefix.appendUtf8(utf8View(namespaces[2 * i]));
            reader.m_prefixUri.appendUtf8(utf8View(namespaces[2 * i + 1]));
            if (reader.m_handler != nullptr) {
                if (const HResult status = reader.m_handler->startPrefixMapping(
                        reader.m_prefix.view(), reader.m_prefixUri.view());
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
    reader.flushText();
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
    if (!reader.m_pendingText.append(utf8View(text, text + length))) {
        reader.fail(kOutOfMemory);
    }
}

void LibxmlSaxReader::onIgnorableWhitespace(void* context, Utf8 text, int length) {
    LibxmlSaxReader& reader = self(context);
    reader.flushText();
    if (!reader.running() || reader.m_handler == nullptr) {
        return;
    }
    try {
        reader.m_prefixUri.clear();
        reader.m_prefixUri.appendUtf8(utf8View(text, text + length));
    } catch (const std::bad_alloc&) {
        reader.fail(kOutOfMemory);
        return;
    }
    if (const HResult status = reader.m_handler->ignorableWhitespace(reader.m_prefixUri.view());
        failed(status)) {
        reader.fail(status);
    }
}

void LibxmlSaxReader::onInternalSubset(void* context, Utf8 /*name*/, Utf8 /*externalId*/,
                                       Utf8 /*systemId*/) {
    // SOAP 1.1 3: a message must not contain a DOCTYPE.
    self(context).fail(kFail);
}

void LibxmlSaxReader::onStartDocument(void* context) {
    // Only UTF-8 and UTF-16 (in the spellings libxml2 reads itself, and UTF-16 with its byte
    // order named) may be declared. libxml2 hands
    // any other name to iconv, and where a byte fails to convert then depends on how the message
    // was cut into pieces: the same bytes could be read whole and fail one at a time.
    const char* name = declaredEncoding(self(context).m_context);
    if (name == nullptr) {
        return;
    }
    const xmlCharEncoding encoding = xmlParseCharEncoding(name);
    const std::string lowered = asciiLowered(name);
    const bool utf16WithOrder = lowered == "utf-16le" || lowered == "utf-16be";
    if (encoding != XML_CHAR_ENCODING_UTF8 && encoding != XML_CHAR_ENCODING_UTF16LE &&
        encoding != XML_CHAR_ENCODING_UTF16BE && !utf16WithOrder) {
        self(context).fail(kFail);
    }
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
    sax.startDocument = onStartDocument;

    m_status = kOk;
    m_depth = 0;
    m_pendingText.clear();
    m_pendingTag.reset();
    // A new parser has a new dictionary: names converted before may not be looked up by address.
    m_names.clear();
    m_context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
    if (m_context == nullptr) {
        return kOutOfMemory;
    }
    setContextOwner(m_context, this);
    xmlCtxtUseOptions(m_context, XML_PARSE_NONET | XML_PARSE_NOENT);
    // Some layers (encoding conversion) report through the thread's generic error function;
    // silence it for the parse and put back what was there.
    const xmlGenericErrorFunc savedErrorFunction = xmlGenericError;
    void* const savedErrorContext = xmlGenericErrorContext;
    xmlSetGenericErrorFunc(nullptr, ignoreMessage);

    std::array<char, 16384> buffer; // scratch for streams that are not in memory; not zeroed
    bool ended = false;
    while (running() && !ended) {
        if (!pendingTagFits()) {
            fail(kFail);
            break;
        }
        std::string_view chunk;
        if (const HResult status = stream.next(chunk, buffer.data(), buffer.size());
            failed(status)) {
            fail(status);
            break;
        }
        // The last bytes go in with the end mark: libxml2 then reads text in longer runs.
        ended = chunk.empty() || stream.atEnd();
        const int error =
            xmlParseChunk(m_context, chunk.data(), static_cast<int>(chunk.size()), ended ? 1 : 0);
        if (error != 0 && running()) {
            fail(kFail);
        }
    }
    // A stopped parser, an error number or an unbound prefix is a failure even where libxml2
    // returned 0.
    if (running() && contextFailed(m_context)) {
        m_status = kFail;
    }
    xmlFreeParserCtxt(m_context);
    m_context = nullptr;
    m_pendingText.clearAndTrim();
    xmlSetGenericErrorFunc(savedErrorContext, savedErrorFunction);
    return m_status;
}

} // namespace

std::unique_ptr<SaxReader> createSaxReader() {
    return std::unique_ptr<SaxReader>(new (std::nothrow) LibxmlSaxReader());
}

} // namespace tarvex::soap
