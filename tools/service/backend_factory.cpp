#include "service/backend_factory.h"

#include "http/tls_socket.h"
#include "service/corpus_source.h"
#include "service/search_index.h"
#include "service/upstream_backend.h"

#include <exception>

namespace tarvex::search {
namespace {

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
    const std::string path = line.upstreamCache.value_or(UpstreamCache::defaultPath());
    std::unique_ptr<UpstreamCache> cache;
    try {
        cache = std::make_unique<UpstreamCache>(path, std::chrono::hours{line.upstreamCacheHours});
    } catch (const std::exception& failure) {
        if (line.upstreamCache) {
            error = "--upstream-cache " + path + ": " + failure.what();
            return nullptr;
        }
        // The default file is a convenience: without it answers are kept for this run only.
        std::fprintf(log, "tarvex-service: upstream answers kept in memory only (%s: %s)\n",
                     path.c_str(), failure.what());
        cache = std::make_unique<UpstreamCache>(":memory:",
                                                std::chrono::hours{line.upstreamCacheHours});
    }
    UpstreamSettings settings;
    settings.ratePerSecond = line.upstreamRate;
    settings.allowLoopbackPages = line.allowLoopbackPages;
    std::fprintf(log, "tarvex-service: results from %s (%s)\n", choice.address.c_str(),
                 choice.kind == UpstreamKind::Searxng ? "SearXNG" : "OpenSearch");
    return std::make_unique<UpstreamBackend>(std::move(engine), UpstreamClient{std::move(trust)},
                                             std::move(cache), settings);
}

} // namespace

std::unique_ptr<SearchBackend> openBackend(const CommandLine& line, std::FILE* log,
                                           std::string& error) {
    if (line.upstream) {
        return openUpstream(line, log, error);
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

} // namespace tarvex::search
