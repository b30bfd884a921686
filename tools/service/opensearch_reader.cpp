// OpenSearch answers (RSS 2.0 or Atom) read with the SOAP layer's SAX reader, which refuses a
// DOCTYPE, fetches nothing and bounds the nesting.
#include "service/opensearch_reader.h"

#include "base/code_page.h"
#include "soap/sax_reader.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>

namespace tarvex::search {
namespace {

constexpr std::u16string_view kAtomNamespace = u"http://www.w3.org/2005/Atom";
// The OpenSearch namespaces, byte for byte as feeds write them (\x73 is "s").
constexpr std::u16string_view kOpenSearchNamespace = u"http://a9.com/-/\x73pec/opensearch/1.1/";
constexpr std::u16string_view kOpenSearch10Namespace =
    u"http://a9.com/-/\x73pec/opensearchrss/1.0/";
// Atom (RFC 4287 4.2.7.2): a rel may also be written as the IANA registry's full IRI.
constexpr std::u16string_view kAlternateIri = u"http://www.iana.org/assignments/relation/alternate";

// XML's whitespace (XML 1.0 2.3, S).
constexpr bool isXmlSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isOpenSearch(std::u16string_view uri) {
    return uri == kOpenSearchNamespace || uri == kOpenSearch10Namespace;
}

// The text of one field as it arrives: leading whitespace skipped, at most kMaxUpstreamTextBytes
// of UTF-8 kept (the rest of a longer text is dropped as it comes, so memory stays bounded).
class FieldText {
public:
    void clear() {
        m_text.clear();
        m_full = false;
    }

    void append(std::u16string_view piece) {
        if (m_full) {
            return;
        }
        if (m_text.empty()) {
            while (!piece.empty() && isXmlSpace(piece.front())) {
                piece.remove_prefix(1);
            }
        }
        // A UTF-16 unit is at least one byte of UTF-8, so this many units fill what is left;
        // the one more keeps a surrogate pair cut here beyond the cap.
        const std::size_t room = kMaxUpstreamTextBytes - m_text.size() + 1;
        m_text += utf16ToCodePage(piece.substr(0, room));
        if (m_text.size() > kMaxUpstreamTextBytes) {
            m_text.resize(characterBoundary(m_text, kMaxUpstreamTextBytes));
            m_full = true;
        }
    }

    // True when text was dropped at the cap.
    [[nodiscard]] bool cut() const { return m_full; }

    // The text without its trailing whitespace; the field is empty again.
    std::string take() {
        while (!m_text.empty() && isXmlSpace(static_cast<unsigned char>(m_text.back()))) {
            m_text.pop_back();
        }
        std::string text = std::move(m_text);
        clear();
        return text;
    }

private:
    std::string m_text;
    bool m_full = false;
};

// A non-negative decimal number that fits in int64, with whitespace around it; else nullopt.
std::optional<std::int64_t> decimalCount(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const int digit = c - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

class AnswerHandler final : public soap::SaxContentHandler {
public:
    [[nodiscard]] HResult startElement(std::u16string_view uri, std::u16string_view local,
                                       std::u16string_view qname,
                                       const soap::SaxAttributes& attributes) override;
    [[nodiscard]] HResult endElement(std::u16string_view uri, std::u16string_view local,
                                     std::u16string_view qname) override;
    [[nodiscard]] HResult characters(std::u16string_view text) override {
        if (m_field == Field::None) {
            return kOk;
        }
        try {
            m_text.append(text);
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
        return kOk;
    }

    // Why the handler stopped the parse; empty when it did not.
    [[nodiscard]] const std::string& refusal() const { return m_refusal; }
    [[nodiscard]] UpstreamPage takePage() { return std::move(m_page); }

private:
    enum class Format { Unknown, Rss, Atom };
    enum class Field { None, Title, Link, Description, Content, Total };

    HResult refuse(std::string why) {
        m_refusal = std::move(why);
        return kFail;
    }
    // The element just opened, at m_depth.
    HResult start(std::u16string_view uri, std::u16string_view local,
                  const soap::SaxAttributes& attributes);
    HResult startRoot(std::u16string_view uri, std::u16string_view local);
    HResult startItem();
    void startField(Field field) {
        m_field = field;
        m_fieldDepth = m_depth;
        m_text.clear();
    }
    void endField();
    void endItem();
    void readAtomLink(const soap::SaxAttributes& attributes);

    Format m_format = Format::Unknown;
    int m_depth = 0;          // of the element open now; the root is 1
    bool m_inChannel = false; // RSS: inside rss/channel
    int m_itemDepth = 0;      // of the open item or entry; 0 outside one
    Field m_field = Field::None;
    int m_fieldDepth = 0;
    FieldText m_text;
    bool m_totalSeen = false;
    std::size_t m_itemCount = 0;
    // The open item's fields; the first of each kind counts.
    std::optional<std::string> m_title;
    std::optional<std::string> m_link;
    std::optional<std::string> m_description; // RSS description or Atom summary
    std::optional<std::string> m_content;     // Atom content, used when there is no summary
    UpstreamPage m_page;
    std::string m_refusal;
};

HResult AnswerHandler::startElement(std::u16string_view uri, std::u16string_view local,
                                    std::u16string_view /*qname*/,
                                    const soap::SaxAttributes& attributes) {
    ++m_depth;
    try {
        return start(uri, local, attributes);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

HResult AnswerHandler::start(std::u16string_view uri, std::u16string_view local,
                             const soap::SaxAttributes& attributes) {
    if (m_depth == 1) {
        return startRoot(uri, local);
    }
    if (m_field != Field::None) {
        return kOk; // nested in a field: its text belongs to the field
    }
    if (m_format == Format::Rss) {
        if (m_depth == 2 && uri.empty() && local == u"channel") {
            m_inChannel = true;
        } else if (m_depth == 3 && m_inChannel && uri.empty() && local == u"item") {
            return startItem();
        } else if (m_depth == 3 && m_inChannel && isOpenSearch(uri) && local == u"totalResults" &&
                   !m_totalSeen) {
            startField(Field::Total);
        } else if (m_depth == 4 && m_itemDepth == 3 && uri.empty()) {
            if (local == u"title") {
                startField(Field::Title);
            } else if (local == u"link") {
                startField(Field::Link);
            } else if (local == u"description") {
                startField(Field::Description);
            }
        }
        return kOk;
    }
    if (m_depth == 2 && uri == kAtomNamespace && local == u"entry") {
        return startItem();
    }
    if (m_depth == 2 && isOpenSearch(uri) && local == u"totalResults" && !m_totalSeen) {
        startField(Field::Total);
    } else if (m_depth == 3 && m_itemDepth == 2 && uri == kAtomNamespace) {
        if (local == u"title") {
            startField(Field::Title);
        } else if (local == u"link") {
            readAtomLink(attributes);
        } else if (local == u"summary") {
            startField(Field::Description);
        } else if (local == u"content") {
            startField(Field::Content);
        }
    }
    return kOk;
}

HResult AnswerHandler::startRoot(std::u16string_view uri, std::u16string_view local) {
    if (uri.empty() && local == u"rss") {
        m_format = Format::Rss;
    } else if (uri == kAtomNamespace && local == u"feed") {
        m_format = Format::Atom;
    } else {
        return refuse("not an RSS or Atom document");
    }
    return kOk;
}

HResult AnswerHandler::startItem() {
    if (m_itemCount == kMaxUpstreamItems) {
        return refuse("too many items");
    }
    ++m_itemCount;
    m_itemDepth = m_depth;
    m_title.reset();
    m_link.reset();
    m_description.reset();
    m_content.reset();
    return kOk;
}

HResult AnswerHandler::endElement(std::u16string_view /*uri*/, std::u16string_view /*local*/,
                                  std::u16string_view /*qname*/) {
    try {
        if (m_field != Field::None && m_depth == m_fieldDepth) {
            endField();
        } else if (m_depth == m_itemDepth) {
            endItem();
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (m_depth == 2) {
        m_inChannel = false;
    }
    --m_depth;
    return kOk;
}

void AnswerHandler::endField() {
    const Field field = m_field;
    m_field = Field::None;
    const bool cut = m_text.cut();
    std::string text = m_text.take();
    auto keepFirst = [&text](std::optional<std::string>& slot) {
        if (!slot) {
            slot = std::move(text);
        }
    };
    switch (field) {
    case Field::Title:
        keepFirst(m_title);
        break;
    case Field::Link:
        keepFirst(m_link);
        break;
    case Field::Description:
        keepFirst(m_description);
        break;
    case Field::Content:
        keepFirst(m_content);
        break;
    case Field::Total:
        m_totalSeen = true;
        m_page.total = cut ? std::nullopt : decimalCount(text);
        break;
    case Field::None:
        break;
    }
}

void AnswerHandler::endItem() {
    m_itemDepth = 0;
    UpstreamItem item;
    item.url = m_link.value_or(std::string{});
    item.title = m_title.value_or(std::string{});
    if (m_description) {
        item.text = std::move(*m_description);
    } else if (m_content) {
        item.text = std::move(*m_content);
    }
    m_page.items.push_back(std::move(item));
}

void AnswerHandler::readAtomLink(const soap::SaxAttributes& attributes) {
    if (m_link) {
        return;
    }
    std::u16string_view rel;
    if (!failed(attributes.valueByName(u"", u"rel", rel)) && rel != u"alternate" &&
        rel != kAlternateIri) {
        return;
    }
    std::u16string_view href;
    if (failed(attributes.valueByName(u"", u"href", href))) {
        return;
    }
    FieldText text;
    text.append(href);
    m_link = text.take();
}

// A stream that fails once more than kMaxUpstreamBytes have come through it.
class CappedStream final : public soap::ByteStream {
public:
    explicit CappedStream(soap::ByteStream& inner) : m_inner(inner) {}

    [[nodiscard]] HResult read(char* buffer, std::size_t capacity, std::size_t& count) override {
        const HResult status = m_inner.read(buffer, capacity, count);
        return failed(status) ? status : tally(count);
    }
    [[nodiscard]] HResult next(std::string_view& chunk, char* scratch,
                               std::size_t capacity) override {
        const HResult status = m_inner.next(chunk, scratch, capacity);
        return failed(status) ? status : tally(chunk.size());
    }
    [[nodiscard]] bool atEnd() const override { return m_inner.atEnd(); }
    [[nodiscard]] bool tooLarge() const { return m_tooLarge; }

private:
    HResult tally(std::size_t bytes) {
        if (bytes > kMaxUpstreamBytes - m_bytes) {
            m_tooLarge = true;
            return kFail;
        }
        m_bytes += bytes;
        return kOk;
    }

    soap::ByteStream& m_inner;
    std::size_t m_bytes = 0;
    bool m_tooLarge = false;
};

} // namespace

std::optional<UpstreamPage> readOpenSearchAnswer(soap::ByteStream& body, std::string& error) {
    const auto reader = soap::createSaxReader();
    if (reader == nullptr) {
        error = "the XML reader could not be created";
        return std::nullopt;
    }
    CappedStream stream{body};
    AnswerHandler handler;
    reader->setContentHandler(&handler);
    if (const HResult status = reader->parse(stream); failed(status)) {
        if (stream.tooLarge()) {
            error = "answer too large";
        } else if (!handler.refusal().empty()) {
            error = handler.refusal();
        } else if (status == kOutOfMemory) {
            error = "out of memory";
        } else {
            // Also what a DOCTYPE or nesting past the reader's bound comes to.
            error = "malformed XML";
        }
        return std::nullopt;
    }
    return handler.takePage();
}

std::optional<UpstreamPage> readOpenSearchAnswer(std::string_view body, std::string& error) {
    if (body.size() > kMaxUpstreamBytes) {
        error = "answer too large";
        return std::nullopt;
    }
    soap::MemoryStream stream{body};
    return readOpenSearchAnswer(stream, error);
}

std::string openSearchNamespace() {
    std::string text;
    for (const char16_t c : kOpenSearchNamespace) {
        text.push_back(static_cast<char>(c)); // ASCII
    }
    return text;
}

} // namespace tarvex::search
