// The search session without a window: its history, cache file, failure reasons and the settings
// of Close, Reset and Spread Sheet Mode, against a scripted server on 127.0.0.1.
#include "app/command_queue.h"
#include "app/search_session.h"
#include "shell/setting_names.h"
#include "support/cache_fakes.h"
#include "support/failing_settings.h"
#include "support/fake_search_view.h"
#include "support/scripted_server.h"
#include "support/search_answers.h"
#include "support/test_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace tarvex::app {
namespace {

using test::ScriptedServer;
using Kind = SearchOutcome::Kind;

// A setup without a cache file, or with one, or with a trust file.
SessionSetup setupWith(std::optional<std::string> cachePath,
                       std::optional<std::string> trustFile = {}) {
    SessionSetup setup;
    setup.keepsCacheFile = cachePath.has_value();
    setup.cachePath = std::move(cachePath);
    setup.trustFile = std::move(trustFile);
    return setup;
}

class SearchSessionTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_session.reset();
        for (std::thread& worker : m_workers) {
            worker.join();
        }
    }

    void start(std::vector<ScriptedServer::Answer> answers, SessionSetup setup) {
        m_server = std::make_unique<ScriptedServer>(std::move(answers));
        setup.endpoint = m_server->url();
        setup.threads = [this](std::function<void()> work) {
            m_workers.emplace_back(std::move(work));
            return true;
        };
        m_session = std::make_unique<SearchSession>(m_view, m_settings, m_clock, m_poster,
                                                    std::move(setup));
        m_session->open([this](const std::string& message) { m_errors.report(message); });
        m_view.fields = {"kelvin", "key", "", 0};
    }
    // One Search command, run until the session is idle again; how it ended.
    SearchOutcome search() {
        m_session->search();
        int command = 0;
        while (m_session->busy()) {
            EXPECT_TRUE(m_poster->next(command, std::chrono::seconds{20}));
            m_session->searchCompleted();
        }
        EXPECT_TRUE(m_session->outcome().has_value());
        return m_session->outcome().value_or(SearchOutcome{Kind::Failed, "no end"});
    }

    test::FakeSearchView m_view;
    shell::MemorySettingsStore m_settings;
    test::FixedClock m_clock;
    test::CollectedErrors m_errors;
    std::shared_ptr<CommandQueue> m_poster = std::make_shared<CommandQueue>();
    std::unique_ptr<ScriptedServer> m_server;
    std::vector<std::thread> m_workers;
    std::unique_ptr<SearchSession> m_session;
    test::TestFolder m_folder{"search_session"};
    std::string m_cacheFile = m_folder.file("quorlan.glr");
};

TEST_F(SearchSessionTest, AnsweredWordsJoinTheHistoryAndComeBackFromTheCache) {
    start({ScriptedServer::answer(test::searchAnswer(0, 3))}, setupWith({}));
    EXPECT_EQ(search().kind, Kind::Results);
    EXPECT_EQ(m_session->history().words, std::vector<std::string>{"kelvin"});
    EXPECT_EQ(m_settings.getString("Search Words", "1", ""), "kelvin");
    EXPECT_EQ(search().kind, Kind::CacheHit);
    EXPECT_EQ(m_server->requests().size(), 1U);
    ASSERT_EQ(m_view.ends.size(), 2U);
    EXPECT_FALSE(m_session->close()) << "no file was read, so none is written";
}

TEST_F(SearchSessionTest, AFailureCarriesItsReason) {
    start({ScriptedServer::answer("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<short")},
          setupWith({}));
    const SearchOutcome cut = search();
    EXPECT_EQ(cut.kind, Kind::Failed);
    EXPECT_EQ(cut.reason, "the connection closed before the whole answer arrived");
    EXPECT_EQ(m_view.fields.statusText, "Error!");
    EXPECT_TRUE(m_session->history().words.empty());
}

TEST_F(SearchSessionTest, ATrustFileThatDoesNotLoadFailsEverySearchSayingWhy) {
    start({}, setupWith({}, "/nonexistent/own-ca.pem"));
    ASSERT_FALSE(m_session->setupError().empty());
    const SearchOutcome failed = search();
    EXPECT_EQ(failed.kind, Kind::Failed);
    EXPECT_EQ(failed.reason, m_session->setupError());
    EXPECT_TRUE(m_server->requests().empty());
}

TEST_F(SearchSessionTest, TheCacheFileIsSavedOnceAtTheEnd) {
    start({ScriptedServer::answer(test::searchAnswer(0, 2))}, setupWith(m_cacheFile));
    EXPECT_TRUE(m_errors.messages.empty());
    EXPECT_EQ(search().kind, Kind::Results);
    const std::optional<CacheSave> save = m_session->close();
    ASSERT_TRUE(save);
    EXPECT_TRUE(save->saved);
    EXPECT_FALSE(m_session->close()) << "a second end saves nothing";

    cache::CGoogleResultCacheArray reread{m_clock};
    test::CollectedErrors errors;
    ASSERT_TRUE(cache::LoadFromFile(m_cacheFile, reread, errors));
    cache::SearchResultSet kelvin;
    EXPECT_TRUE(reread.Lookup("kelvin", kelvin, false));
}

TEST(SearchSessionSettingsTest, AWriteTheStoreDidNotKeepIsReported) {
    // A store that stopped writing lost the key, count and history of the run unsaid.
    test::FakeSearchView view;
    test::FailingSettings settings;
    test::FixedClock clock;
    SearchSession session{view, settings, clock, std::make_shared<CommandQueue>(), setupWith({})};
    session.keepLicenceKey("key");
    EXPECT_TRUE(session.settingsKept());
    settings.failWrites = true;
    session.setSpreadSheetMode(true);
    EXPECT_FALSE(session.settingsKept());
}

TEST_F(SearchSessionTest, CloseResetAndSpreadSheetModeKeepTheirSettings) {
    start({}, setupWith({}));
    m_session->keepLicenceKey("typed key");
    EXPECT_EQ(m_session->licenceKey(), "typed key");
    m_session->keepLicenceKey(std::string(shell::kMaxFieldTextBytes + 1, 'k'));
    EXPECT_EQ(m_session->licenceKey(), "") << "a damaged key starts empty";

    m_settings.putInt("Settings", "Search Count", 41);
    EXPECT_EQ(m_session->searchCount(), 41);
    EXPECT_EQ(m_session->resetSearchCount(), 0);
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", -1), 0);

    m_session->setSpreadSheetMode(true);
    EXPECT_EQ(m_settings.getInt("Settings", "Spread Sheet Mode", -1), 1);
    EXPECT_TRUE(m_session->spreadSheetMode());
}

} // namespace
} // namespace tarvex::app
