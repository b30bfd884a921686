#pragma once

#include "google_result_cache.h"
#include "google_search.h"
#include "search_view.h"
#include "settings_store.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tarvex::app {

// The one record the window and the search worker share.
struct SearchJob {
    std::string queryWord;
    std::string licenceKey;
    proxy::GoogleSearchResult response{};
    std::int32_t start = 0;
    std::int32_t maxResults = 10;
    bool filter = true;
    bool safeSearch = false;
    std::atomic<bool> busy{false};
};

// Makes the service proxy a worker uses for its one request.
using ProxyFactory = std::function<std::unique_ptr<proxy::CGoogleSearch>()>;
// Starts the worker on a new thread; false when no thread can be had.
using ThreadStarter = std::function<bool(std::function<void()>)>;

// The command the worker posts when its request is done.
inline constexpr int kSearchCompletedCommand = 147;

// The Search command: answered from the cache, or paged into up to three requests of ten
// results on worker threads, each page stored in the cache as it comes.
class SearchController {
public:
    SearchController(SearchView& view, shell::SettingsStore& settings,
                     cache::CGoogleResultCacheArray& cache, const cache::Clock& clock,
                     ProxyFactory proxies, CommandPoster& poster,
                     ThreadStarter threads = startDetachedThread);

    void OnSearch();
    void OnSearchCompleted();

    [[nodiscard]] bool busy() const { return m_job.busy; }

    // The worker's body: one doGoogleSearch call into job.response, then the command posted.
    static void SearchWorker(SearchJob* job, const ProxyFactory& proxies, CommandPoster& poster);
    static bool startDetachedThread(std::function<void()> work);

private:
    // Starts the worker for the job as it stands; false (reported, back to idle) when it cannot.
    bool startWorker(SearchFields& fields);
    void finish();

    SearchView& m_view;
    shell::SettingsStore& m_settings;
    cache::CGoogleResultCacheArray& m_cache;
    const cache::Clock& m_clock;
    ProxyFactory m_proxies;
    CommandPoster& m_poster;
    ThreadStarter m_threads;
    SearchJob m_job;
};

// The message for a Search without a licence key.
extern const std::string kNoLicenceKeyMessage;

} // namespace tarvex::app
