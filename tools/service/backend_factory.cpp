#include "service/backend_factory.h"

#include "http/tls_socket.h"
#include "service/corpus_source.h"
#include "service/pg_index.h"
#include "service/pg_key_quota.h"
#include "service/pg_upstream_cache.h"
#include "service/search_index.h"
#include "service/upstream_backend.h"
#include "service/upstream_cache.h"

#include <algorithm>
#include <exception>

namespace tarvex::search {
namespace {

// Quota counts and kept answers are short statements: a few sessions serve all the request
// threads.
constexpr std::size_t kWritingSessions = 4;

// Upstream answers are kept in the database when one is given, so that every service on it
// shares them; otherwise in a SQLite file of this machine.
std::unique_ptr<AnswerCache> openAnswerCache(const CommandLine& line, std::FILE* log,
                                             std::string& error) {
    const std::chrono::hours timeToLive{line.upstreamCacheHours};
    if (line.database) {
        try {
            return std::make_unique<PgUpstreamCache>(*line.database, timeToLive,
                                                     std::min(line.threads, kWritingSessions));
        } catch (const std::exception& failure) {
            error = std::string{"--database: the upstream cache: "} + failure.what();
            return nullptr;
        }
    }
    const std::string path = line.upstreamCache.value_or(UpstreamCache::defaultPath());
    try {
        return std::make_unique<UpstreamCache>(path, timeToLive);
    } catch (const std::exception& failure) {
        if (line.upstreamCache) {
            error = "--upstream-cache " + path + ": " + failure.what();
            return nullptr;
        }
        // The default file is a convenience: without it answers are kept for this run only.
        std::fprintf(log, "tarvex-service: upstream answers kept in memory only (%s: %s)\n",
                     path.c_str(), failure.what());
        return std::make_unique<UpstreamCache>(":memory:", timeToLive);
    }
}

std::unique_ptr<SearchBackend> openUpstream(const CommandLine& line, std::FILE* log,
                                            std::string& error) {
    const UpstreamChoice& choice = *line.upstream;
    std::unique_ptr<UpstreamEngine> engine = choice.kind == UpstreamKind::Searxng
                                                 ? makeSearxngEngine(choice.address)
                                                 : makeOpenSearchEngine(choice.address, error);
    if (!engine) {
        error = "--upstream: " + error;
        return nullptr;
    }
    std::shared_ptr<const http::TlsTrust> trust =
        line.upstreamCa ? http::TlsTrust::create(*line.upstreamCa, error)
                        : http::TlsTrust::system();
    if (!trust) {
        error = "--upstream-ca: " + error;
        return nullptr;
    }
    std::unique_ptr<AnswerCache> cache = openAnswerCache(line, log, error);
    if (!cache) {
        return nullptr;
    }
    UpstreamSettings settings;
    settings.ratePerSecond = line.upstreamRate;
    settings.allowLoopbackPages = line.allowLoopbackPages;
    std::fprintf(log, "tarvex-service: results from %s (%s)\n", choice.address.c_str(),
                 choice.kind == UpstreamKind::Searxng ? "SearXNG" : "OpenSearch");
    return std::make_unique<UpstreamBackend>(std::move(engine), UpstreamClient{std::move(trust)},
                                             std::move(cache), settings);
}

// The index in a PostgreSQL database, shared by every service on it. A corpus named on the
// command line is loaded into it (once: the same corpus again changes nothing); without one the
// database is used as it stands, so that no service replaces a shared index with its own
// machine's default corpus.
std::unique_ptr<SearchBackend> openDatabase(const CommandLine& line, std::FILE* log,
                                            std::string& error) {
    std::optional<LoadedCorpus> corpus;
    if (line.corpus) {
        corpus = loadCorpus(line.corpus, error);
        if (!corpus) {
            return nullptr;
        }
    }
    try {
        auto index = std::make_unique<PgIndex>(*line.database, line.threads);
        if (corpus) {
            const bool written = index->load(corpus->documents);
            std::fprintf(log, "tarvex-service: %zu documents from %s %s the database\n",
                         corpus->documents.size(), corpus->source.c_str(),
                         written ? "loaded into" : "already in");
        } else {
            std::fprintf(log, "tarvex-service: results from the database's index\n");
        }
        return index;
    } catch (const std::exception& failure) {
        error = std::string{"--database: "} + failure.what();
        return nullptr;
    }
}

} // namespace

std::unique_ptr<SearchBackend> openBackend(const CommandLine& line, std::FILE* log,
                                           std::string& error) {
    if (line.upstream) {
        return openUpstream(line, log, error);
    }
    if (line.database) {
        return openDatabase(line, log, error);
    }
    auto corpus = loadCorpus(line.corpus, error);
    if (!corpus) {
        return nullptr;
    }
    const std::size_t documents = corpus->documents.size();
    auto index = std::make_unique<SearchIndex>(std::move(corpus->documents), line.threads);
    std::fprintf(log, "tarvex-service: %zu documents from %s\n", documents, corpus->source.c_str());
    return index;
}

std::shared_ptr<QuotaStore> openSharedQuota(const CommandLine& line, std::string& error) {
    try {
        return std::make_shared<PgKeyQuota>(*line.database, line.quota,
                                            std::min(line.threads, kWritingSessions));
    } catch (const std::exception& failure) {
        error = std::string{"--database: the quota table: "} + failure.what();
        return nullptr;
    }
}

} // namespace tarvex::search
