#include "service/response_writer.h"

#include "base/code_page.h"
#include "soap/binary_text.h"
#include "soap/text_escaper.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace tarvex::search {
namespace {

constexpr std::string_view kServiceActor = "/search/beta2";

constexpr std::string_view kEnvelopeStart =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
    " xmlns:xsi=\"http://www.w3.org/1999/XMLSchema-instance\""
    " xmlns:xsd=\"http://www.w3.org/1999/XMLSchema\">\n"
    "<SOAP-ENV:Body>\n";
constexpr std::string_view kEnvelopeEnd = "</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n";

// Builds the text of one response.
class XmlText {
public:
    void raw(std::string_view text) { m_text += text; }
    void escaped(std::string_view utf8) {
        appendCodePageAsUtf16(utf8, m_wide);
        // Characters XML 1.0 does not allow, even as references, would make the whole answer
        // unreadable: controls become blanks, the two non-characters the replacement character.
        for (char16_t& c : m_wide) {
            if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') {
                c = u' ';
            } else if (c == 0xFFFE || c == 0xFFFF) {
                c = 0xFFFD;
            }
        }
        m_text += soap::escapeXml(m_wide, soap::EscapeMode::Content);
        m_wide.clear();
    }
    void value(std::string_view name, std::string_view type, std::string_view utf8) {
        open(name, type);
        escaped(utf8);
        close(name);
    }
    void open(std::string_view name, std::string_view type) {
        m_text += '<';
        m_text += name;
        m_text += " xsi:type=\"";
        m_text += type;
        m_text += "\">";
    }
    void close(std::string_view name) {
        m_text += "</";
        m_text += name;
        m_text += ">\n";
    }
    void wrapperStart(std::string_view operation) {
        raw(kEnvelopeStart);
        raw("<ns1:");
        raw(operation);
        raw("Response xmlns:ns1=\"urn:GoogleSearch\""
            " SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\n");
    }
    void wrapperEnd(std::string_view operation) {
        raw("</ns1:");
        raw(operation);
        raw("Response>\n");
        raw(kEnvelopeEnd);
    }
    void arrayStart(std::string_view name, std::string_view itemType, std::size_t count) {
        raw("<");
        raw(name);
        raw(" xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType=\"ns1:");
        raw(itemType);
        raw("[");
        raw(std::to_string(count));
        raw("]\">\n");
    }
    [[nodiscard]] std::string take() { return std::move(m_text); }

private:
    std::string m_text;
    std::u16string m_wide;
};

// Seconds to the microsecond, as the historic service gave them ("0.194871").
std::string seconds(double value) {
    char digits[32];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    return {digits, result.ptr};
}

std::string_view boolean(bool value) {
    return value ? "true" : "false";
}

void category(XmlText& xml, std::string_view name, std::string_view fullViewableName) {
    xml.open(name, "ns1:DirectoryCategory");
    xml.raw("\n");
    xml.value("fullViewableName", "xsd:string", fullViewableName);
    xml.value("specialEncoding", "xsd:string", "");
    xml.close(name);
}

void resultElement(XmlText& xml, const SearchHit& hit) {
    xml.open("item", "ns1:ResultElement");
    xml.raw("\n");
    xml.value("summary", "xsd:string", hit.summary);
    xml.value("URL", "xsd:string", hit.url);
    xml.value("snippet", "xsd:string", hit.snippetHtml);
    xml.value("title", "xsd:string", hit.titleHtml);
    xml.value("cachedSize", "xsd:string", hit.cachedSize);
    xml.value("relatedInformationPresent", "xsd:boolean", "true");
    xml.value("hostName", "xsd:string", hit.hostName);
    category(xml, "directoryCategory", hit.category);
    xml.value("directoryTitle", "xsd:string", hit.directoryTitle);
    xml.close("item");
}

} // namespace

std::string searchResponse(const SearchAnswer& answer) {
    const SearchPage& page = *answer.page;
    const auto count = static_cast<std::int32_t>(page.hits.size());
    XmlText xml;
    xml.wrapperStart("doGoogleSearch");
    xml.open("return", "ns1:GoogleSearchResult");
    xml.raw("\n");
    xml.value("documentFiltering", "xsd:boolean", boolean(page.filtered));
    xml.value("searchComments", "xsd:string", "");
    xml.value("estimatedTotalResultsCount", "xsd:int", std::to_string(page.total));
    xml.value("estimateIsExact", "xsd:boolean", boolean(page.exact));
    xml.arrayStart("resultElements", "ResultElement", page.hits.size());
    for (const SearchHit& hit : page.hits) {
        resultElement(xml, hit);
    }
    xml.close("resultElements");
    xml.value("searchQuery", "xsd:string", answer.searchQuery);
    xml.value("startIndex", "xsd:int", std::to_string(std::int64_t{answer.start} + 1));
    xml.value("endIndex", "xsd:int", std::to_string(std::int64_t{answer.start} + count));
    xml.value("searchTips", "xsd:string", "");
    xml.arrayStart("directoryCategories", "DirectoryCategory", page.categories.size());
    for (const std::string& name : page.categories) {
        category(xml, "item", name);
    }
    xml.close("directoryCategories");
    xml.value("searchTime", "xsd:double", seconds(answer.searchTime));
    xml.close("return");
    xml.wrapperEnd("doGoogleSearch");
    return xml.take();
}

std::string spellingResponse(std::string_view suggestion) {
    XmlText xml;
    xml.wrapperStart("doSpellingSuggestion");
    xml.value("return", "xsd:string", suggestion);
    xml.wrapperEnd("doSpellingSuggestion");
    return xml.take();
}

std::string cachedPageResponse(std::string_view bytes) {
    std::string encoded(soap::base64ScratchSize(bytes.size()), '\0');
    encoded.resize(soap::base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size(), encoded.data()));
    XmlText xml;
    xml.wrapperStart("doGetCachedPage");
    xml.open("return", "SOAP-ENC:base64");
    xml.raw(encoded);
    xml.close("return");
    xml.wrapperEnd("doGetCachedPage");
    return xml.take();
}

std::string faultResponse(std::string_view code, std::string_view text) {
    XmlText xml;
    xml.raw(kEnvelopeStart);
    xml.raw("<SOAP-ENV:Fault>\n<faultcode>SOAP-ENV:");
    xml.escaped(code);
    xml.raw("</faultcode>\n<faultstring>");
    xml.escaped(text);
    xml.raw("</faultstring>\n<faultactor>");
    xml.raw(kServiceActor);
    xml.raw("</faultactor>\n</SOAP-ENV:Fault>\n");
    xml.raw(kEnvelopeEnd);
    return xml.take();
}

} // namespace tarvex::search
