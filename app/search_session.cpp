#include "app/search_session.h"

#include "app/service_pages.h"
#include "shell/setting_names.h"

namespace tarvex::app {
namespace {

class ReportedErrors final : public cache::CacheFileErrors {
public:
    explicit ReportedErrors(const SearchSession::Report& report) : m_report(report) {}
    void report(const std::string& message) override { m_report(message); }

private:
    const SearchSession::Report& m_report;
};

} // namespace

SearchSession::SearchSession(SearchView& view, shell::SettingsStore& settings,
                             const cache::Clock& clock, std::shared_ptr<CommandPoster> poster,
                             SessionSetup setup)
    : m_view(view), m_settings(settings), m_setup(std::move(setup)), m_cache(clock),
      m_controller(*this, settings, m_cache, clock, makeProxies(std::move(m_setup.proxies)),
                   std::move(poster), m_setup.threads) {
    m_cache.cacheLifeHours = shell::kCacheLife.get(m_settings);
}

ProxyFactory SearchSession::makeProxies(ProxyFactory given) {
    if (given) {
        return given;
    }
    m_sockets = serviceSockets(chooseTrustFile(m_settings, m_setup.trustFile), m_setupError);
    if (!m_sockets) {
        // No proxy: each search fails at once, with the setup's error as its reason.
        return [] { return std::unique_ptr<proxy::CGoogleSearch>{}; };
    }
    return [endpoint = m_setup.endpoint, sockets = *m_sockets] {
        return std::make_unique<proxy::CGoogleSearch>(endpoint, soap::createSaxReader,
                                                      sockets.factory, sockets.reasons);
    };
}

void SearchSession::open(const Report& report) {
    shell::loadWords(m_settings, shell::kSearchWordsSection, m_history, shell::kSearchWordLimit);
    if (m_setup.keepsCacheFile) {
        ReportedErrors errors{report};
        m_cacheLoad = loadCache(m_settings, m_cache, errors, m_setup.cachePath);
        m_opened = true;
    }
}

std::optional<CacheSave> SearchSession::close() {
    if (!m_opened || m_closed) {
        return std::nullopt;
    }
    m_closed = true;
    return saveCache(m_settings, m_cache, m_setup.applicationKey, m_cacheLoad, m_setup.cachePath);
}

void SearchSession::forgetHistory() {
    m_history = shell::WordList{};
}

void SearchSession::reloadCacheLife() {
    m_cache.cacheLifeHours = shell::kCacheLife.get(m_settings);
}

std::string SearchSession::licenceKey() {
    std::string key = shell::kLicenseKey.get(m_settings);
    if (key.size() > shell::kMaxFieldTextBytes) {
        key.clear();
    }
    return key;
}

void SearchSession::keepLicenceKey(const std::string& key) {
    m_settingsKept = shell::kLicenseKey.put(m_settings, key) && m_settingsKept;
}

std::int32_t SearchSession::searchCount() {
    return shell::kSearchCount.get(m_settings);
}

std::int32_t SearchSession::resetSearchCount() {
    m_settingsKept = shell::kSearchCount.put(m_settings, 0) && m_settingsKept;
    return searchCount();
}

bool SearchSession::spreadSheetMode() {
    return shell::kSpreadSheetMode.get(m_settings) != 0;
}

void SearchSession::setSpreadSheetMode(bool on) {
    m_settingsKept = shell::kSpreadSheetMode.put(m_settings, on ? 1 : 0) && m_settingsKept;
}

void SearchSession::showResults(const cache::SearchResultSet& results) {
    m_settingsKept = shell::addWord(m_settings, shell::kSearchWordsSection, m_history,
                                    results.queryWord, shell::kSearchWordLimit) &&
                     m_settingsKept;
    m_view.showResults(results);
}

void SearchSession::searchEnded(const SearchOutcome& outcome) {
    SearchOutcome ended = outcome;
    if (ended.kind == SearchOutcome::Kind::Failed) {
        // A trust file that did not load, a failed handshake or a named transport failure says
        // more than what the request saw of it.
        std::string known = !m_setupError.empty() ? m_setupError
                            : m_sockets           ? failureText(*m_sockets)
                                                  : std::string{};
        if (!known.empty()) {
            ended.reason = std::move(known);
        }
    }
    m_outcome = ended;
    m_view.searchEnded(ended);
}

} // namespace tarvex::app
