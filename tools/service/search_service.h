#pragma once

#include "service/key_quota.h"
#include "service/request_reader.h"
#include "service/search_backend.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tarvex::search {

struct ServiceOptions {
    // When set, only these keys are accepted; otherwise any non-empty key.
    std::optional<std::unordered_set<std::string>> keys;
    std::int64_t quota = 0; // searches per key per day, 0 for no limit
    // The current day number; quotas start afresh when it changes.
    std::function<std::int64_t()> today;
    std::size_t quotaKeys = KeyQuota::kMaxKeysPerDay; // keys counted at once
    // Where the quota is counted when several services share it (a database); by default in
    // this process.
    std::shared_ptr<QuotaStore> sharedQuota;
};

struct ServiceReply {
    int status = 200; // HTTP status: 200, or 500 with a fault
    std::string body;
    std::string operation; // for the request log
};

// Answers one SOAP request body: reads the call, checks the key, quota and parameters, and
// writes the response or the fault. Safe to call from many threads at once.
class SearchService {
public:
    // The longest query accepted, in bytes.
    static constexpr std::size_t kMaxQueryBytes = 2048;
    // The most words a query may have: each costs the index a pass over its documents.
    static constexpr std::size_t kMaxQueryWords = 32;

    SearchService(SearchBackend& backend, ServiceOptions options);

    [[nodiscard]] ServiceReply answer(std::string_view body);

private:
    [[nodiscard]] ServiceReply search(const SearchCall& call);
    [[nodiscard]] ServiceReply spelling(const SpellingCall& call);
    [[nodiscard]] ServiceReply cachedPage(const CachedPageCall& call);
    [[nodiscard]] bool validKey(const std::string& key) const;

    SearchBackend& m_backend;
    ServiceOptions m_options;
    KeyQuota m_quota;
};

// What a query of more than kMaxQueryWords words is told.
[[nodiscard]] std::string tooManyWords();

// Days since 1970-01-01 UTC.
[[nodiscard]] std::int64_t utcDay();

} // namespace tarvex::search
