#pragma once

#include "service/answer_cache.h"
#include "service/rate_limiter.h"
#include "service/search_backend.h"
#include "service/upstream_client.h"
#include "service/upstream_engine.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::search {

struct UpstreamSettings {
    std::int32_t ratePerSecond = 2;
    // A request that finds this many waiting for their turn is refused at once.
    std::size_t maxWaiting = 16;
    // One answer's time with the upstream in all: its turn and every page it fetches. Below the
    // 10 s a client waits for an answer, so the client hears the fault rather than a timeout.
    std::chrono::milliseconds timeout{9000};
    // Lets cached pages come from loopback addresses (tests on one machine).
    bool allowLoopbackPages = false;
};

// Answers from an upstream web search engine: pages of the engine's results, fetched as the
// requests need them and kept in the cache, turned into the service's results (query words
// marked, everything else escaped, at most two results per host when filtering). The engine's
// own paging figures are not trusted: paging follows what was asked and what came.
class UpstreamBackend final : public SearchBackend {
public:
    // Engine pages walked for one answer at most.
    static constexpr std::int32_t kMaxPages = 10;
    // A cached page is fetched only if at most this large.
    static constexpr std::size_t kMaxPageBytes = std::size_t{1} << 20;
    // Cached pages fetched at once at most; more are refused until one ends.
    static constexpr int kMaxPageFetches = 8;
    // Longer titles and snippets are cut on a character boundary.
    static constexpr std::size_t kMaxTitleBytes = 512;
    static constexpr std::size_t kMaxSnippetBytes = 1024;

    UpstreamBackend(std::unique_ptr<UpstreamEngine> engine, UpstreamClient client,
                    std::unique_ptr<AnswerCache> cache, UpstreamSettings settings);

    [[nodiscard]] SearchPage search(const SearchRequest& request) override;
    [[nodiscard]] std::string suggest(std::string_view phrase) override;
    [[nodiscard]] std::string cachedPage(std::string_view url) override;

    // Upstream requests made so far (answers from the cache not counted).
    [[nodiscard]] std::uint64_t fetches() const { return m_fetches; }

private:
    struct Collected {
        std::vector<UpstreamItem> items; // usable addresses only, each once
        std::optional<std::int64_t> total;
        bool complete = false; // the engine has nothing more to give
    };

    using Deadline = std::chrono::steady_clock::time_point;

    [[nodiscard]] Collected collect(const PageRequest& base, std::size_t wanted, bool filter,
                                    Deadline deadline);
    // The engine's answer at `url`, from the cache or, within the rate, from the engine.
    [[nodiscard]] UpstreamPage fetch(const std::string& url, Deadline deadline);

    std::unique_ptr<UpstreamEngine> m_engine;
    UpstreamClient m_client;
    std::unique_ptr<AnswerCache> m_cache;
    UpstreamSettings m_settings;
    RateLimiter m_rate;
    std::atomic<std::uint64_t> m_fetches{0};
    std::atomic<int> m_pageFetches{0};
};

} // namespace tarvex::search
