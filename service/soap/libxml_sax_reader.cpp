// The SAX reader on libxml2's SAX2 push parser. Only the callbacks the reader needs are set, so
// nothing is fetched or expanded; a DOCTYPE stops the parse.
#include "base/utf16_buffer.h"
#include "soap/sax_reader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace tarvex::soap {
namespace {

using Utf8 = const xmlChar*;

// Scratch buffers larger than this are given back once used, so that one long text does not
// keep its copies for the rest of the parse or the life of the reader.
constexpr std::size_t kKeptScratchBytes = std::size_t{1} << 20;

std::string_view utf8View(Utf8 text) {
    return text == nullptr ? std::string_view{}
                           : std::string_view{reinterpret_cast<const char*>(text)};
}

std::string_view utf8View(Utf8 begin, Utf8 end) {
    return {reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin)};
}

// True when the UTF-16 `expected` spells the UTF-8 `actual`. ASCII is compared in place and a
// mismatch ends the comparison at once; other text is converted first.
bool sameText(std::u16string_view expected, std::string_view actual, Utf16Buffer& scratch) {
    if (expected.size() > actual.size()) {
        return false; // UTF-8 never takes fewer units than UTF-16
    }
    std::size_t i = 0;
    for (; i < actual.size(); ++i) {
        const auto byte = static_cast<unsigned char>(actual[i]);
        if (byte >= 0x80) {
            break;
        }
        if (i >= expected.size() || expected[i] != byte) {
            return false;
        }
    }
    if (i == actual.size()) {
        return i == expected.size();
    }
    scratch.clear();
    scratch.appendUtf8(actual);
    return scratch.view() == expected;
}

// The same for a NUL-terminated name, without measuring it first.
bool sameName(std::u16string_view expected, Utf8 actual, Utf16Buffer& scratch) {
    if (actual == nullptr) {
        return expected.empty();
    }
    for (std::size_t i = 0;; ++i) {
        const unsigned byte = actual[i];
        if (byte >= 0x80) {
            return sameText(expected, utf8View(actual), scratch);
        }
        if (byte == 0 || i >= expected.size()) {
            return byte == 0 && i == expected.size();
        }
        if (expected[i] != byte) {
            return false;
        }
    }
}

// Names from libxml2 come from its dictionary: one pointer per distinct name for the whole
// parse. The UTF-16 forms of an element's URI, local name and qualified name are kept by those
// pointers, so each name is converted once per parse.
class NameCache {
public:
    struct Names {
        std::u16string_view uri;
        std::u16string_view local;
        std::u16string_view qname;
    };

    // A new parse: every slot counts as empty, without touching them.
    void clear() { ++m_generation; }

    // Views stay valid until the next call that lands on the same slot.
    Names get(Utf8 local, Utf8 prefix, Utf8 uri) {
        const auto key = (reinterpret_cast<std::uintptr_t>(local) >> 3) ^
                         (reinterpret_cast<std::uintptr_t>(prefix) >> 2) ^
                         (reinterpret_cast<std::uintptr_t>(uri) >> 4);
        Slot& slot = m_slots[key % m_slots.size()];
        if (slot.generation != m_generation || slot.local != local || slot.prefix != prefix ||
            slot.uri_ != uri) {
            slot.uri.clear();
            slot.qname.clear();
            slot.uri.appendUtf8(utf8View(uri));
            if (prefix != nullptr) {
                slot.qname.appendUtf8(utf8View(prefix));
                slot.qname.append(u':');
            }
            slot.localOffset = slot.qname.size();
            slot.qname.appendUtf8(utf8View(local));
            slot.local = local;
            slot.prefix = prefix;
            slot.uri_ = uri;
            slot.generation = m_generation;
        }
        return Names{slot.uri.view(), slot.qname.view().substr(slot.localOffset),
                     slot.qname.view()};
    }

private:
    struct Slot {
        Utf8 local = nullptr;
        Utf8 prefix = nullptr;
        Utf8 uri_ = nullptr;
        std::uint64_t generation = 0;
        std::size_t localOffset = 0;
        Utf16Buffer uri;
        Utf16Buffer qname;
    };
    std::array<Slot, 64> m_slots;
    std::uint64_t m_generation = 1;
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
            if (sameName(local, a[0], m_scratch) && sameName(uri, a[2], m_scratch)) {
                return this->value(i, value);
            }
        }
        return kInvalidArg;
    }

    [[nodiscard]] HResult valueByQName(std::u16string_view qname,
                                       std::u16string_view& value) const override {
        for (int i = 0; i < m_count; ++i) {
            const xmlChar** a = raw(i);
            bool match = false;
            if (a[1] == nullptr) {
                match = sameName(qname, a[0], m_scratch);
            } else {
                const std::size_t colon = qname.find(u':');
                match = colon != std::u16string_view::npos &&
                        sameName(qname.substr(0, colon), a[1], m_scratch) &&
                        sameName(qname.substr(colon + 1), a[0], m_scratch);
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
        uri = c.uri.view();
        local = c.qname.view().substr(c.localOffset);
        qname = c.qname.view();
        return kOk;
    }

    [[nodiscard]] HResult value(int index, std::u16string_view& value) const override {
        if (index < 0 || index >= m_count) {
            return kInvalidArg;
        }
        value = convert(index).value.view();
        return kOk;
    }

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
    const Converted& convert(int index) const {
        Converted& c = m_converted[static_cast<std::size_t>(index)];
        if (!c.ready) {
            const xmlChar** a = raw(index);
            c.uri.clear();
            c.qname.clear();
            c.value.clear();
            c.uri.appendUtf8(utf8View(a[2]));
            if (a[1] != nullptr) {
                c.qname.appendUtf8(utf8View(a[1]));
                c.qname.append(u':');
            }
            c.localOffset = c.qname.size();
            c.qname.appendUtf8(utf8View(a[0]));
            c.value.appendUtf8(utf8View(a[3], a[4]));
            c.ready = true;
        }
        return c;
    }

    int m_count = 0;
    const xmlChar** m_raw = nullptr;
    mutable std::vector<Converted> m_converted;
    mutable Utf16Buffer m_scratch;
};

// Bytes of character data waiting to be handed on; appending never throws.
class PendingText {
public:
    [[nodiscard]] bool append(Utf8 text, std::size_t length) noexcept {
        if (length > m_capacity - m_size && !grow(length)) {
            return false;
        }
        std::memcpy(m_data.get() + m_size, text, length);
        m_size += length;
        return true;
    }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    [[nodiscard]] std::string_view view() const { return {m_data.get(), m_size}; }
    void clear() { m_size = 0; }
    // Empty again; a large block goes back to the heap.
    void clearAndTrim() {
        m_size = 0;
        if (m_capacity > kKeptScratchBytes) {
            m_data.reset();
            m_capacity = 0;
        }
    }

private:
    bool grow(std::size_t length) noexcept {
        const std::size_t capacity = std::max({m_size + length, 2 * m_capacity, std::size_t{256}});
        std::unique_ptr<char[]> data{new (std::nothrow) char[capacity]};
        if (data == nullptr) {
            return false;
        }
        if (m_size > 0) {
            std::memcpy(data.get(), m_data.get(), m_size);
        }
        m_data = std::move(data);
        m_capacity = capacity;
        return true;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

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
                m_quote = c == m_quote ? 0 : m_quote;
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

    // False when libxml2 waits for the end of a start tag that already has too many attributes.
    [[nodiscard]] bool pendingTagFits() {
        const xmlParserInputPtr input = m_context->input;
        if (m_context->instate != XML_PARSER_START_TAG || input == nullptr ||
            input->cur == nullptr || input->end == nullptr || input->base == nullptr) {
            return true;
        }
        // Decoded input, UTF-8 whatever the document's encoding; `consumed` counts the bytes
        // libxml2 has already dropped from its buffer.
        const std::uint64_t start =
            input->consumed + static_cast<std::uint64_t>(input->cur - input->base);
        return m_pendingTag.count(start, utf8View(input->cur, input->end)) <= kMaxAttributes;
    }

    static void onStartElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri, int namespaceCount,
                               const xmlChar** namespaces, int attributeCount, int defaulted,
                               const xmlChar** attributes);
    static void onEndElement(void* context, Utf8 local, Utf8 prefix, Utf8 uri);
    static void onCharacters(void* context, Utf8 text, int length);
    static void onIgnorableWhitespace(void* context, Utf8 text, int length);
    static void onInternalSubset(void* context, Utf8 name, Utf8 externalId, Utf8 systemId);

    // libxml2 splits text at every reference and buffer end; the pieces are gathered here and
    // handed on as one event before the next element event.
    // The pieces are kept as UTF-8 and converted once.
    void flushText() {
        if (m_pendingUtf8.empty() || !running()) {
            return;
        }
        try {
            m_text.clear();
            m_text.appendUtf8(m_pendingUtf8.view());
        } catch (const std::bad_alloc&) {
            fail(kOutOfMemory);
            return;
        }
        m_pendingUtf8.clearAndTrim();
        if (m_handler != nullptr) {
            if (const HResult status = m_handler->characters(m_text.view()); failed(status)) {
                fail(status);
            }
        }
        trimText();
    }

    void trimText() {
        if (m_text.capacity() * sizeof(char16_t) > kKeptScratchBytes) {
            m_text = Utf16Buffer{};
        }
    }

    void convertNames(Utf8 local, Utf8 prefix, Utf8 uri) {
        const NameCache::Names names = m_names.get(local, prefix, uri);
        m_uri = names.uri;
        m_local = names.local;
        m_qname = names.qname;
    }

    SaxContentHandler* m_handler = nullptr;
    xmlParserCtxtPtr m_context = nullptr;
    HResult m_status = kOk;
    int m_depth = 0;
    // Reused across events: no allocation per event once they have grown.
    NameCache m_names;
    std::u16string_view m_uri;
    std::u16string_view m_local;
    std::u16string_view m_qname;
    PendingText m_pendingUtf8; // character data not yet handed on
    PendingTagCounter m_pendingTag;
    Utf16Buffer m_text;
    Utf16Buffer m_prefix;
    Utf16Buffer m_prefixUri;
    Attributes m_attributes;
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
    if (!reader.m_pendingUtf8.append(text, static_cast<std::size_t>(length))) {
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
    m_pendingUtf8.clear();
    m_pendingTag.reset();
    // A new parser has a new dictionary: names converted before may not be looked up by address.
    m_names.clear();
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
    if (running() && (m_context->errNo != 0 || m_context->wellFormed == 0 ||
                      m_context->nsWellFormed == 0 || m_context->disableSAX != 0)) {
        m_status = kFail;
    }
    xmlFreeParserCtxt(m_context);
    m_context = nullptr;
    m_pendingUtf8.clearAndTrim();
    trimText();
    xmlSetGenericErrorFunc(savedErrorContext, savedErrorFunction);
    return m_status;
}

} // namespace

std::unique_ptr<SaxReader> createSaxReader() {
    return std::unique_ptr<SaxReader>(new (std::nothrow) LibxmlSaxReader());
}

} // namespace tarvex::soap
