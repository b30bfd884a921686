#include "app/search_controller.h"

#include "app/search_failure.h"
#include "base/code_page.h"
#include "base/sys_string.h"
#include "shell/setting_names.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace tarvex::app {
namespace {

constexpr std::string_view kInProgress = "Search in progress...";
constexpr std::string_view kSecondPage = "Search[2] in progress...";
constexpr std::string_view kThirdPage = "Search[3] in progress...";
constexpr std::string_view kError = "Error!";
constexpr std::string_view kNotStarted = "The search could not be started.";

// A search asks for pages of ten, at most three of them, whatever the answers say.
constexpr std::int32_t kPageSize = proxy::kResultsPerRequest;
constexpr std::int32_t kMaxRequests = 3;

std::string text(const char16_t* wide) {
    return wide == nullptr ? std::string{} : utf16ToCodePage(sysStringView(wide));
}

} // namespace

// The trade mark sign is the Windows-1252 character 0x99, U+2122.
const std::string kNoLicenceKeyMessage =
    "Please enter a valid Google\u2122 licence key in the top left box.\r\n\r\nYou can obtain the "
    "licence key "
    "from Google\u2122 using the link\r\nprovided just above the data entry box.";

SearchController::SearchController(SearchView& view, shell::SettingsStore& settings,
                                   cache::CGoogleResultCacheArray& cache, const cache::Clock& clock,
                                   ProxyFactory proxies, std::shared_ptr<CommandPoster> poster,
                                   ThreadStarter threads)
    : m_view(view), m_settings(settings), m_cache(cache), m_clock(clock),
      m_proxies(std::move(proxies)), m_poster(std::move(poster)), m_threads(std::move(threads)) {}

bool SearchController::startDetachedThread(std::function<void()> work) {
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SearchController::SearchWorker(SearchJob* job, const ProxyFactory& proxies,
                                    CommandPoster& poster) {
    if (job == nullptr) {
        return;
    }
    {
        std::unique_ptr<proxy::CGoogleSearch> proxy = proxies();
        job->busy = true;
        const UniqueSysString key{sysAllocString(codePageToUtf16(job->licenceKey))};
        const UniqueSysString query{sysAllocString(codePageToUtf16(job->queryWord))};
        if (proxy) {
            // The status is not looked at: a count of -1 left in the response tells the failure.
            (void)proxy->doGoogleSearch(key.get(), query.get(), job->start, job->maxResults,
                                        job->filter, nullptr, job->safeSearch, nullptr, nullptr,
                                        nullptr, job->response);
            job->failure = searchFailureText(*proxy);
        }
    }
    // The proxy and the strings are gone before the window hears of the end: once it has, the
    // program may exit, and a proxy destroyed after that would use the freed process heap.
    poster.post(res::kCmdSearchCompleted);
}

bool SearchController::startWorker(SearchFields& fields) {
    m_job->queryWord = fields.queryWord;
    m_job->licenceKey = fields.licenceKey;
    m_job->response = proxy::GoogleSearchResult{};
    m_job->response.searchTime = 0;
    m_job->response.resultElementsCount = -1;
    m_job->failure.clear();
    // The thread keeps the job and the poster alive: a window closed during the request frees
    // neither under it.
    if (!m_threads([job = m_job, proxies = m_proxies, poster = m_poster] {
            SearchWorker(job.get(), proxies, *poster);
        })) {
        // No thread: say so and go back to idle instead of waiting for a command that never comes.
        fields.statusText = std::string{kError};
        m_view.showFields(fields);
        m_view.messageBox(std::string{kNotStarted});
        finish();
        m_view.searchEnded({SearchOutcome::Kind::Failed, std::string{kNotStarted}});
        return false;
    }
    return true;
}

void SearchController::OnSearch() {
    SearchFields fields = m_view.readFields();
    if (fields.licenceKey.empty()) {
        m_view.messageBox(kNoLicenceKeyMessage);
        return;
    }
    if (m_job->busy) {
        return;
    }
    m_settingsKept = shell::kLicenseKey.put(m_settings, fields.licenceKey) && m_settingsKept;
    cache::SearchResultSet cached;
    if (m_cache.Lookup(fields.queryWord, cached, false)) {
        cached.queryWord = fields.queryWord;
        m_view.showResults(cached);
        m_view.searchEnded({SearchOutcome::Kind::CacheHit, {}});
        return;
    }
    const std::int32_t maximum = shell::kMaximumResults.get(m_settings);
    m_job->filter = shell::kSearchFilter.get(m_settings) != 0;
    m_job->safeSearch = shell::kSafeSearch.get(m_settings) != 0;
    m_job->start = 0;
    m_job->maxResults = std::min(maximum, kPageSize);
    m_job->busy = true;
    m_view.enableSearch(false);
    if (!startWorker(fields)) {
        return;
    }
    fields.statusText = std::string{kInProgress};
    m_view.showFields(fields);
}

void SearchController::OnSearchCompleted() {
    proxy::GoogleSearchResult& response = m_job->response;
    const std::int32_t count = response.resultElementsCount;
    std::int32_t searchCount = shell::kSearchCount.get(m_settings);
    SearchFields fields = m_view.readFields();
    if (count < 0) {
        fields.statusText = std::string{kError};
        m_view.showFields(fields);
        finish();
        m_view.searchEnded({SearchOutcome::Kind::Failed, m_job->failure});
        return;
    }
    ++searchCount;
    m_settingsKept = shell::kSearchCount.put(m_settings, searchCount) && m_settingsKept;
    fields.searchNumber = searchCount;
    m_view.showFields(fields);

    cache::SearchResultSet page;
    page.queryWord = fields.queryWord;
    page.estimatedTotal = response.estimatedTotalResultsCount;
    // A server may send more than was asked for; only what was asked for is kept.
    const std::int32_t kept = std::min(count, m_job->maxResults);
    for (std::int32_t i = 0; i < kept && response.resultElements != nullptr; ++i) {
        const proxy::ResultElement& element = response.resultElements[i];
        page.urls.add(text(element.URL));
        page.titles.add(text(element.title));
        page.summaries.add(text(element.summary));
        page.snippets.add(text(element.snippet));
        page.categoryNames.add(text(element.directoryCategory.fullViewableName));
        page.directoryTitles.add(text(element.directoryTitle));
    }
    const std::int32_t startIndex = response.startIndex;
    const std::int32_t endIndex = response.endIndex;
    proxy::releaseGoogleSearchResult(response);
    page.searchedAt = m_clock.now();
    if (startIndex == 1) {
        m_cache.Store(page.queryWord, page);
    } else {
        m_cache.Append(page.queryWord, page);
    }

    // Paging: pages of ten at offsets 0, 10 and 20 while more results are wanted and the answer
    // is the page that was asked for. The requests made so far follow from the offset asked for,
    // so no answer can make the search ask for more pages than Maximum Results allows.
    const std::int32_t wanted = shell::kMaximumResults.get(m_settings);
    const auto allowed =
        std::min<std::int64_t>(kMaxRequests, (std::int64_t{wanted} + kPageSize - 1) / kPageSize);
    const std::int32_t made = m_job->start / kPageSize + 1;
    std::string_view status;
    if (made < allowed && startIndex == m_job->start + 1 && endIndex == m_job->start + kPageSize) {
        m_job->start += kPageSize;
        m_job->maxResults = std::min(kPageSize, wanted - m_job->start);
        status = made == 1 ? kSecondPage : kThirdPage;
    }
    if (!status.empty()) {
        if (startWorker(fields)) {
            fields = m_view.readFields();
            fields.statusText = std::string{status};
            m_view.showFields(fields);
        }
        return;
    }
    cache::SearchResultSet accumulated;
    const bool found = m_cache.Lookup(fields.queryWord, accumulated, false);
    if (found) {
        accumulated.queryWord = fields.queryWord;
        m_view.showResults(accumulated);
    }
    if (!found || accumulated.urls.size() == 0) {
        // Nothing to show: the progress text goes, or the window would look busy for good.
        fields = m_view.readFields();
        fields.statusText.clear();
        m_view.showFields(fields);
    }
    finish();
    m_view.searchEnded({found ? SearchOutcome::Kind::Results : SearchOutcome::Kind::Failed, {}});
}

void SearchController::finish() {
    m_job->busy = false;
    m_view.enableSearch(true);
}

} // namespace tarvex::app
