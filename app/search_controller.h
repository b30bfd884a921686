#pragma once

#include "app/search_view.h"
#include "cache/google_result_cache.h"
#include "proxy/google_search.h"
#include "proxy/google_search_handler.h"
#include "res/commands.h"
#include "shell/settings_store.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tarvex::app {

// The one record the window and the search worker share.
struct SearchJob {
    SearchJob() = default;
    SearchJob(const SearchJob&) = delete;
    SearchJob& operator=(const SearchJob&) = delete;
    // A response nobody handled (the window closed first) is released with the record.
    ~SearchJob() { proxy::releaseGoogleSearchResult(response); }

    std::string queryWord;
    std::string licenceKey;
    proxy::GoogleSearchResult response{};
    std::int32_t start = 0;
    std::int32_t maxResults = proxy::kResultsPerRequest;
    bool filter = true;
    bool safeSearch = false;
    // Why the request failed, in words; written by the worker before it posts the end.
    std::string failure;
    std::atomic<bool> busy{false};
};

// Makes the service proxy a worker uses for its one request.
using ProxyFactory = std::function<std::unique_ptr<proxy::CGoogleSearch>()>;
// Starts the worker on a new thread; false when no thread can be had.
using ThreadStarter = std::function<bool(std::function<void()>)>;

// The Search command: answered from the cache, or paged into up to three requests of ten
// results on worker threads, each page stored in the cache as it comes.
class SearchController {
public:
    SearchController(SearchView& view, shell::SettingsStore& settings,
                     cache::CGoogleResultCacheArray& cache, const cache::Clock& clock,
                     ProxyFactory proxies, std::shared_ptr<CommandPoster> poster,
                     ThreadStarter threads = startDetachedThread);

    void OnSearch();
    void OnSearchCompleted();

    [[nodiscard]] bool busy() const { return m_job->busy; }
    // False once a setting the searches write (the licence key, the search count) was not kept.
    [[nodiscard]] bool settingsKept() const { return m_settingsKept; }

    // The worker's body: one doGoogleSearch call into job.response, then the command posted.
    static void SearchWorker(SearchJob* job, const ProxyFactory& proxies, CommandPoster& poster);
    // The thread runs on after the controller (and the window) may be gone: the job and the
    // poster it uses are shared with it, never borrowed.
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
    std::shared_ptr<CommandPoster> m_poster;
    ThreadStarter m_threads;
    std::shared_ptr<SearchJob> m_job = std::make_shared<SearchJob>();
    bool m_settingsKept = true;
};

// The message for a Search without a licence key.
extern const std::string kNoLicenceKeyMessage;

} // namespace tarvex::app
