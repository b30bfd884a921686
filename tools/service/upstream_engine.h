#pragma once

#include "service/upstream_page.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::search {

// One page of results asked of an engine.
struct PageRequest {
    std::string_view query;
    std::int32_t page = 1;       // 1 for the first page
    std::int64_t startIndex = 1; // 1-based position of the first result wanted
    bool safeSearch = false;
    std::string_view language; // "de", "zh-CN", or empty for any
};

// How to ask one kind of upstream engine for a page and how to read its answer.
class UpstreamEngine {
public:
    // Results asked for per page where the engine lets us say.
    static constexpr std::int32_t kPageSize = 30;

    virtual ~UpstreamEngine() = default;
    [[nodiscard]] virtual std::string pageUrl(const PageRequest& request) const = 0;
    [[nodiscard]] virtual std::optional<UpstreamPage> read(std::string_view body,
                                                           std::string& error) const = 0;
    // Whether pages after the first can be asked for.
    [[nodiscard]] virtual bool pages() const = 0;
    // Whether the engine gives spelling help.
    [[nodiscard]] virtual bool spells() const = 0;
    // The Accept header of its requests.
    [[nodiscard]] virtual const char* accept() const = 0;
};

// An OpenSearch 1.1 URL template: {searchTerms}, {startIndex?}, {startPage?}, {count?},
// {language?}, {inputEncoding?}, {outputEncoding?}, with or without a namespace prefix; answers
// in RSS 2.0 or Atom. Null with the reason when the template holds a required parameter we
// cannot fill.
[[nodiscard]] std::unique_ptr<UpstreamEngine> makeOpenSearchEngine(std::string_view urlTemplate,
                                                                   std::string& error);

// A SearXNG instance at `baseUrl`, asked for JSON answers.
[[nodiscard]] std::unique_ptr<UpstreamEngine> makeSearxngEngine(std::string_view baseUrl);

// A text for a URL's query or path: letters, digits and "-._~" stay, every other byte is %XX.
[[nodiscard]] std::string percentEncoded(std::string_view text);

// The language of a request's "lr" ("lang_de" -> "de", "lang_zh-CN" -> "zh-CN"); empty when it
// names none or is not of that form.
[[nodiscard]] std::string languageOf(std::string_view lr);

} // namespace tarvex::search
