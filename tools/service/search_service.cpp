#include "service/search_service.h"

#include "service/query_text.h"
#include "service/response_writer.h"

#include <chrono>
#include <stdexcept>

namespace tarvex::search {
namespace {

constexpr std::string_view kServiceException = "Exception from service object: ";

ServiceReply fault(std::string_view code, std::string_view text, std::string operation) {
    return {500, faultResponse(code, text), std::move(operation)};
}

ServiceReply serviceFault(std::string_view text, std::string operation) {
    return fault("Server", std::string{kServiceException} + std::string{text},
                 std::move(operation));
}

std::string operationName(const ServiceCall& call) {
    if (std::holds_alternative<SearchCall>(call)) {
        return "doGoogleSearch";
    }
    if (std::holds_alternative<SpellingCall>(call)) {
        return "doSpellingSuggestion";
    }
    return std::holds_alternative<CachedPageCall>(call) ? "doGetCachedPage" : "-";
}

} // namespace

std::string tooManyWords() {
    return "The query has more than " + std::to_string(SearchService::kMaxQueryWords) + " words.";
}

std::int64_t utcDay() {
    const auto now = std::chrono::system_clock::now();
    return std::chrono::duration_cast<std::chrono::days>(now.time_since_epoch()).count();
}

SearchService::SearchService(SearchBackend& backend, ServiceOptions options)
    : m_backend(backend), m_options(std::move(options)),
      m_quota(m_options.quota, m_options.quotaKeys) {
    if (!m_options.today) {
        m_options.today = utcDay;
    }
}

bool SearchService::validKey(const std::string& key) const {
    return m_options.keys ? m_options.keys->contains(key) : !key.empty();
}

ServiceReply SearchService::answer(std::string_view body) {
    const ServiceCall call = readServiceCall(body);
    try {
        if (const auto* error = std::get_if<RequestError>(&call)) {
            return fault(error->code, error->text, "-");
        }
        if (const auto* searchCall = std::get_if<SearchCall>(&call)) {
            return search(*searchCall);
        }
        if (const auto* spellingCall = std::get_if<SpellingCall>(&call)) {
            return spelling(*spellingCall);
        }
        return cachedPage(std::get<CachedPageCall>(call));
    } catch (const BackendError& error) {
        // An upstream engine failed: the fault says what happened to it.
        return fault("Server", error.what(), operationName(call));
    } catch (const std::exception& error) {
        // The index failed; the caller's request was fine.
        return serviceFault(error.what(), "-");
    }
}

ServiceReply SearchService::search(const SearchCall& call) {
    const std::string operation = "doGoogleSearch";
    if (!validKey(call.key)) {
        return serviceFault("Invalid authorization key: " + call.key, operation);
    }
    if (call.maxResults < 1 || call.maxResults > 10) {
        return serviceFault("maxResults must be between 1 and 10.", operation);
    }
    if (call.start < 0) {
        return serviceFault("start must not be negative.", operation);
    }
    if (call.q.size() > kMaxQueryBytes) {
        return serviceFault("The query is longer than 2048 bytes.", operation);
    }
    if (translateQuery(call.q).words > kMaxQueryWords) {
        return fault("Client", tooManyWords(), operation);
    }
    QuotaStore& quota = m_options.sharedQuota ? *m_options.sharedQuota : m_quota;
    if (!quota.take(call.key, m_options.today())) {
        return serviceFault("Daily limit of " + std::to_string(m_options.quota) +
                                " queries exceeded for key " + call.key,
                            operation);
    }
    const auto began = std::chrono::steady_clock::now();
    const SearchPage page = m_backend.search(
        SearchRequest{call.q, call.start, call.maxResults, call.filter, call.safeSearch, call.lr});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    return {200, searchResponse(SearchAnswer{&page, call.q, call.start, took.count()}), operation};
}

ServiceReply SearchService::spelling(const SpellingCall& call) {
    const std::string operation = "doSpellingSuggestion";
    if (!validKey(call.key)) {
        return serviceFault("Invalid authorization key: " + call.key, operation);
    }
    if (call.phrase.size() > kMaxQueryBytes) {
        return serviceFault("The phrase is longer than 2048 bytes.", operation);
    }
    return {200, spellingResponse(m_backend.suggest(call.phrase)), operation};
}

ServiceReply SearchService::cachedPage(const CachedPageCall& call) {
    const std::string operation = "doGetCachedPage";
    if (!validKey(call.key)) {
        return serviceFault("Invalid authorization key: " + call.key, operation);
    }
    return {200, cachedPageResponse(m_backend.cachedPage(call.url)), operation};
}

} // namespace tarvex::search
