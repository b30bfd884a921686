#pragma once

#include "app/cache_location.h"
#include "app/search_controller.h"
#include "app/search_view.h"
#include "app/service_sockets.h"
#include "cache/google_result_cache.h"
#include "shell/settings_store.h"
#include "shell/word_history.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tarvex::app {

// Where a session searches and keeps its cache.
struct SessionSetup {
    // The endpoint in use.
    std::string endpoint;
    // The settings' application key; it names the default cache file's folder.
    std::string applicationKey;
    // A certificate file to trust instead of the "Trust File" setting.
    std::optional<std::string> trustFile;
    // A cache file instead of "Cache Path".
    std::optional<std::string> cachePath;
    // False: the cache lives for this session only, no file is read or written.
    bool keepsCacheFile = true;
    // Makes the proxy of one request; by default one for `endpoint` on the session's sockets.
    ProxyFactory proxies;
    ThreadStarter threads = SearchController::startDetachedThread;
};

// One user's searching, whatever shows it: the cache and its file, the word history, the
// service's sockets and the Search command. The window and the command-line tool each hand in
// their view; the session tells it how each search ended, with the reason of a failure.
class SearchSession final : private SearchView {
public:
    SearchSession(SearchView& view, shell::SettingsStore& settings, const cache::Clock& clock,
                  std::shared_ptr<CommandPoster> poster, SessionSetup setup);
    ~SearchSession() override = default;
    SearchSession(const SearchSession&) = delete;
    SearchSession& operator=(const SearchSession&) = delete;

    // Why no search can reach the service (a trust file that does not load); empty when they
    // can. Searches then fail with it as their reason.
    [[nodiscard]] const std::string& setupError() const { return m_setupError; }

    // Where the start's messages go (errors of the cache file), one text each.
    using Report = std::function<void(const std::string&)>;
    // The start: the word history and the cache file.
    void open(const Report& report);
    // The end: the cache saved to its file, once, and only after open(); what the save did.
    [[nodiscard]] std::optional<CacheSave> close();

    void search() { m_controller.OnSearch(); }
    void searchCompleted() { m_controller.OnSearchCompleted(); }
    [[nodiscard]] bool busy() const { return m_controller.busy(); }
    // False once a setting of this session (key, count, history, layout) was not kept: the store
    // could not write it, and the next start will not find it.
    [[nodiscard]] bool settingsKept() const {
        return m_settingsKept && m_controller.settingsKept();
    }
    // How the last search ended; none before the first has.
    [[nodiscard]] const std::optional<SearchOutcome>& outcome() const { return m_outcome; }

    [[nodiscard]] const shell::WordList& history() const { return m_history; }
    // The history as the Options dialog's Clear leaves it (the settings it wipes itself).
    void forgetHistory();
    [[nodiscard]] cache::CGoogleResultCacheArray& cache() { return m_cache; }
    // After the Options dialog: the cache life it may have changed.
    void reloadCacheLife();

    // The stored licence key; empty when it is longer than any key the service takes.
    [[nodiscard]] std::string licenceKey();
    // Close: the key as typed is kept.
    void keepLicenceKey(const std::string& key);
    [[nodiscard]] std::int32_t searchCount();
    // Reset: the search count back to 0; the count now stored.
    [[nodiscard]] std::int32_t resetSearchCount();
    [[nodiscard]] bool spreadSheetMode();
    void setSpreadSheetMode(bool on);

private:
    ProxyFactory makeProxies(ProxyFactory given);

    // SearchView, for the controller: passed on to the view, the ends noted.
    [[nodiscard]] SearchFields readFields() override { return m_view.readFields(); }
    void showFields(const SearchFields& fields) override { m_view.showFields(fields); }
    void enableSearch(bool enabled) override { m_view.enableSearch(enabled); }
    void messageBox(const std::string& text) override { m_view.messageBox(text); }
    void showResults(const cache::SearchResultSet& results) override;
    void searchEnded(const SearchOutcome& outcome) override;

    SearchView& m_view;
    shell::SettingsStore& m_settings;
    SessionSetup m_setup;
    std::string m_setupError;
    std::optional<ServiceSockets> m_sockets;
    cache::CGoogleResultCacheArray m_cache;
    SearchController m_controller;
    shell::WordList m_history;
    std::optional<SearchOutcome> m_outcome;
    bool m_settingsKept = true;
    // The cache file was read: only then may the end write over it.
    bool m_opened = false;
    bool m_closed = false;
    CacheLoad m_cacheLoad;
};

} // namespace tarvex::app
