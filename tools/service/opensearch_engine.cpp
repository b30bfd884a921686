#include "service/opensearch_reader.h"
#include "service/query_string.h"
#include "service/upstream_engine.h"

#include <algorithm>
#include <array>

namespace tarvex::search {
namespace {

constexpr std::array kKnownParameters{
    std::string_view{"searchTerms"},   std::string_view{"startIndex"},
    std::string_view{"startPage"},     std::string_view{"count"},
    std::string_view{"language"},      std::string_view{"inputEncoding"},
    std::string_view{"outputEncoding"}};

struct Parameter {
    std::string_view name; // without a namespace prefix
    bool optional = false;
};

// The parameter of a "{...}" text; OpenSearch parameters may carry a prefix ("{os:count?}").
Parameter parameterOf(std::string_view inside) {
    Parameter parameter;
    if (inside.ends_with('?')) {
        parameter.optional = true;
        inside.remove_suffix(1);
    }
    const auto colon = inside.find(':');
    parameter.name = colon == std::string_view::npos ? inside : inside.substr(colon + 1);
    return parameter;
}

bool known(std::string_view name) {
    return std::find(kKnownParameters.begin(), kKnownParameters.end(), name) !=
           kKnownParameters.end();
}

class OpenSearchEngine final : public UpstreamEngine {
public:
    explicit OpenSearchEngine(std::string_view urlTemplate) : m_template(urlTemplate) {
        m_pages = m_template.find("startIndex") != std::string::npos ||
                  m_template.find("startPage") != std::string::npos;
    }

    [[nodiscard]] std::string pageUrl(const PageRequest& request) const override {
        std::string url;
        std::size_t at = 0;
        while (at < m_template.size()) {
            const auto open = m_template.find('{', at);
            const auto close =
                open == std::string::npos ? std::string::npos : m_template.find('}', open);
            if (close == std::string::npos) {
                url.append(m_template, at);
                break;
            }
            url.append(m_template, at, open - at);
            const Parameter parameter =
                parameterOf(std::string_view{m_template}.substr(open + 1, close - open - 1));
            url += value(parameter, request);
            at = close + 1;
        }
        return url;
    }

    [[nodiscard]] std::optional<UpstreamPage> read(std::string_view body,
                                                   std::string& error) const override {
        return readOpenSearchAnswer(body, error);
    }

    [[nodiscard]] bool pages() const override { return m_pages; }
    [[nodiscard]] bool spells() const override { return false; }
    [[nodiscard]] const char* accept() const override {
        return "application/rss+xml, application/atom+xml, application/xml;q=0.9, "
               "text/xml;q=0.9, */*;q=0.1";
    }

private:
    static std::string value(const Parameter& parameter, const PageRequest& request) {
        if (parameter.name == "searchTerms") {
            return percentEncoded(request.query);
        }
        if (parameter.name == "startIndex") {
            return std::to_string(request.startIndex);
        }
        if (parameter.name == "startPage") {
            return std::to_string(request.page);
        }
        if (parameter.name == "count") {
            return std::to_string(kPageSize);
        }
        if (parameter.name == "language") {
            // "*" is OpenSearch's "any language" where the template insists on one.
            return !request.language.empty() ? percentEncoded(request.language)
                   : parameter.optional      ? ""
                                             : "*";
        }
        if (parameter.name == "inputEncoding" || parameter.name == "outputEncoding") {
            return "UTF-8";
        }
        return {}; // an optional parameter we have no value for
    }

    std::string m_template;
    bool m_pages = false;
};

} // namespace

std::string percentEncoded(std::string_view text) {
    std::string encoded = encodeQueryComponent(text);
    // A "+" left in the form encoding stands for a blank ("+" itself became %2B).
    std::string result;
    result.reserve(encoded.size());
    for (const char c : encoded) {
        if (c == '+') {
            result += "%20";
        } else {
            result += c;
        }
    }
    return result;
}

std::string languageOf(std::string_view lr) {
    constexpr std::string_view kPrefix = "lang_";
    if (!lr.starts_with(kPrefix)) {
        return {};
    }
    lr.remove_prefix(kPrefix.size());
    lr = lr.substr(0, lr.find('|')); // the first of several
    const bool plain =
        !lr.empty() && lr.size() <= 16 && std::all_of(lr.begin(), lr.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
        });
    return plain ? std::string{lr} : std::string{};
}

std::unique_ptr<UpstreamEngine> makeOpenSearchEngine(std::string_view urlTemplate,
                                                     std::string& error) {
    std::size_t at = 0;
    while ((at = urlTemplate.find('{', at)) != std::string_view::npos) {
        const auto close = urlTemplate.find('}', at);
        if (close == std::string_view::npos) {
            break;
        }
        const Parameter parameter = parameterOf(urlTemplate.substr(at + 1, close - at - 1));
        if (!parameter.optional && !known(parameter.name)) {
            error = "the template needs a parameter we cannot fill: {" +
                    std::string{urlTemplate.substr(at + 1, close - at - 1)} + "}";
            return nullptr;
        }
        at = close + 1;
    }
    return std::make_unique<OpenSearchEngine>(urlTemplate);
}

} // namespace tarvex::search
