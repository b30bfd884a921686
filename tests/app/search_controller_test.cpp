// The Search command end to end: the controller with a fake window, settings in memory, the
// real cache, and real proxies against a scripted server on 127.0.0.1.
#include "app/command_queue.h"
#include "app/search_controller.h"
#include "shell/setting_names.h"
#include "support/cache_fakes.h"
#include "support/fake_search_view.h"
#include "support/scripted_server.h"
#include "support/search_answers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace tarvex::app {
namespace {

using test::FixedClock;

using test::ScriptedServer;

using FakeView = test::FakeSearchView;

class SearchControllerTest : public ::testing::Test {
protected:
    // The workers are joined before the test ends: one still ending when the process exits leaves
    // its TLS library's thread state half freed, which the leak checker then reports.
    void TearDown() override {
        for (std::thread& worker : m_workers) {
            worker.join();
        }
    }

    void start(std::vector<ScriptedServer::Answer> answers) {
        m_server = std::make_unique<ScriptedServer>(std::move(answers));
        const std::string endpoint = m_server->url();
        m_controller = std::make_unique<SearchController>(
            m_view, m_settings, m_cache, m_clock,
            [endpoint] { return std::make_unique<proxy::CGoogleSearch>(endpoint); }, m_poster,
            m_threads);
        m_view.fields.queryWord = "kelvin";
        m_view.fields.licenceKey = "key";
    }

    // Runs the command loop until the controller is idle again.
    void runSearch() {
        m_controller->OnSearch();
        int command = 0;
        while (m_controller->busy()) {
            ASSERT_TRUE(m_poster->next(command, std::chrono::seconds{20}));
            ASSERT_EQ(command, res::kCmdSearchCompleted);
            m_controller->OnSearchCompleted();
        }
    }

    FakeView m_view;
    shell::MemorySettingsStore m_settings;
    FixedClock m_clock;
    cache::CGoogleResultCacheArray m_cache{m_clock};
    std::shared_ptr<CommandQueue> m_poster = std::make_shared<CommandQueue>();
    std::unique_ptr<ScriptedServer> m_server;
    std::vector<std::thread> m_workers;
    ThreadStarter m_threads = [this](std::function<void()> work) {
        m_workers.emplace_back(std::move(work));
        return true;
    };
    std::unique_ptr<SearchController> m_controller;
};

TEST_F(SearchControllerTest, ThirtyResultsInThreePages) {
    m_settings.putInt("Settings", "Maximum Results", 30);
    start({ScriptedServer::answer(test::searchAnswer(0, 10)),
           ScriptedServer::answer(test::searchAnswer(10, 10)),
           ScriptedServer::answer(test::searchAnswer(20, 10))});
    runSearch();
    ASSERT_EQ(m_view.shown.size(), 1U);
    EXPECT_EQ(m_view.shown[0].urls.size(), 30U);
    EXPECT_EQ(m_view.shown[0].urls[29], "http://r/30");
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", 0), 3) << "requests are counted";
    EXPECT_EQ(m_view.fields.searchNumber, 3);
    EXPECT_EQ(m_settings.getString("Settings", "License Key", ""), "key");
    const auto requests = m_server->requests();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_NE(requests[1].find("<start>10</start><maxResults>10</maxResults>"), std::string::npos);
    EXPECT_NE(requests[2].find("<start>20</start>"), std::string::npos);
    EXPECT_NE(std::find(m_view.statuses.begin(), m_view.statuses.end(), "Search[3] in progress..."),
              m_view.statuses.end());
    EXPECT_TRUE(m_view.searchEnabled);
}

TEST_F(SearchControllerTest, PagingRuleSizesAndShortPages) {
    m_settings.putInt("Settings", "Maximum Results", 25);
    start({ScriptedServer::answer(test::searchAnswer(0, 10)),
           ScriptedServer::answer(test::searchAnswer(10, 10)),
           ScriptedServer::answer(test::searchAnswer(20, 5))});
    runSearch();
    EXPECT_NE(m_server->requests().at(2).find("<start>20</start><maxResults>5</maxResults>"),
              std::string::npos);

    m_settings.putInt("Settings", "Maximum Results", 30);
    start({ScriptedServer::answer(test::searchAnswer(0, 7))});
    m_view.fields.queryWord = "rare";
    runSearch();
    EXPECT_EQ(m_server->requests().size(), 1U) << "a page shorter than ten ends the search";
    EXPECT_EQ(m_view.shown.back().urls.size(), 7U);
}

TEST_F(SearchControllerTest, TwentyResultsAndEmptyPages) {
    m_settings.putInt("Settings", "Maximum Results", 20);
    start({ScriptedServer::answer(test::searchAnswer(0, 10)),
           ScriptedServer::answer(test::searchAnswer(10, 10))});
    runSearch();
    EXPECT_EQ(m_server->requests().size(), 2U) << "20 results: two requests";
    EXPECT_EQ(m_view.shown.back().urls.size(), 20U);

    start({ScriptedServer::answer(test::searchAnswer(0, 0))});
    m_view.fields.queryWord = "nothing";
    runSearch();
    EXPECT_EQ(m_server->requests().size(), 1U);
    ASSERT_EQ(m_view.shown.size(), 2U) << "zero results are shown as an empty list";
    EXPECT_EQ(m_view.shown.back().urls.size(), 0U);
    EXPECT_EQ(m_view.fields.statusText, "") << "no progress text is left once nothing was found";
    EXPECT_TRUE(m_view.searchEnabled);
}

// Regression: a server whose every answer claimed to be the first page made the search ask for
// the second page forever.
TEST_F(SearchControllerTest, AnswersCannotMakeTheSearchAskForMorePages) {
    m_settings.putInt("Settings", "Maximum Results", 30);
    start(
        std::vector<ScriptedServer::Answer>(5, ScriptedServer::answer(test::searchAnswer(0, 10))));
    runSearch();
    EXPECT_EQ(m_server->requests().size(), 2U) << "the second answer is not the page asked for";
    ASSERT_EQ(m_view.shown.size(), 1U);
    EXPECT_EQ(m_view.shown[0].urls.size(), 10U);

    m_settings.putInt("Settings", "Maximum Results", 1000);
    start({ScriptedServer::answer(test::searchAnswer(0, 10)),
           ScriptedServer::answer(test::searchAnswer(10, 10)),
           ScriptedServer::answer(test::searchAnswer(20, 10)),
           ScriptedServer::answer(test::searchAnswer(30, 10))});
    m_view.fields.queryWord = "many";
    runSearch();
    EXPECT_EQ(m_server->requests().size(), 3U) << "three requests at most";
    EXPECT_EQ(m_view.shown.back().urls.size(), 30U);
}

// Regression: a page holding more results than were asked for was kept whole, shown and cached.
TEST_F(SearchControllerTest, APageKeepsOnlyTheResultsAskedFor) {
    m_settings.putInt("Settings", "Maximum Results", 15);
    start({ScriptedServer::answer(test::searchAnswer(0, 10)),
           ScriptedServer::answer(test::searchAnswer(10, 400))});
    runSearch();
    EXPECT_NE(m_server->requests().at(1).find("<maxResults>5</maxResults>"), std::string::npos);
    ASSERT_EQ(m_view.shown.size(), 1U);
    EXPECT_EQ(m_view.shown[0].urls.size(), 15U);
    EXPECT_EQ(m_view.shown[0].urls[14], "http://r/15");
    cache::SearchResultSet cached;
    ASSERT_TRUE(m_cache.Lookup("kelvin", cached, false));
    EXPECT_EQ(cached.urls.size(), 15U);
}

TEST_F(SearchControllerTest, CacheHitMakesNoRequest) {
    start({ScriptedServer::answer(test::searchAnswer(0, 10))});
    runSearch();
    m_view.fields.queryWord = "KELVIN";
    runSearch();
    m_view.fields.licenceKey = "another key";
    runSearch();
    EXPECT_EQ(m_server->requests().size(), 1U);
    EXPECT_EQ(m_view.shown.size(), 3U);
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", 0), 1);
    EXPECT_EQ(m_settings.getString("Settings", "License Key", ""), "another key")
        << "written on a cache hit too";
}

TEST_F(SearchControllerTest, FailuresEndInErrorAndKeepEarlierPages) {
    m_settings.putInt("Settings", "Maximum Results", 20);
    start({ScriptedServer::answer(test::searchAnswer(0, 10)),
           ScriptedServer::answer(ScriptedServer::response(500, "oops"))});
    runSearch();
    EXPECT_EQ(m_view.fields.statusText, "Error!");
    EXPECT_TRUE(m_view.shown.empty()) << "nothing is shown after a failure";
    cache::SearchResultSet cached;
    ASSERT_TRUE(m_cache.Lookup("kelvin", cached, false));
    EXPECT_EQ(cached.urls.size(), 10U) << "the first page stays in the cache";
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", 0), 1);
    EXPECT_TRUE(m_view.searchEnabled);
}

// Why a search failed, as the window's "Error!" says it: the fault string, the HTTP status, a
// refused connection.
TEST_F(SearchControllerTest, AFailureCarriesItsReason) {
    const std::string fault =
        "<?xml version='1.0'?><SOAP-ENV:Envelope "
        "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"><SOAP-ENV:Body>"
        "<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>Invalid authorization "
        "key:\n abc</faultstring></SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    const auto reasonFor = [this](ScriptedServer::Answer answer) {
        start({std::move(answer)});
        runSearch();
        return m_view.ends.empty() ? std::string{"(no end)"} : m_view.ends.back().reason;
    };
    EXPECT_EQ(reasonFor(ScriptedServer::answer(
                  ScriptedServer::response(500, fault, "Content-Type: text/xml\r\n"))),
              "SOAP fault: Invalid authorization key:  abc");
    EXPECT_EQ(reasonFor(ScriptedServer::answer(ScriptedServer::response(503, "busy"))),
              "HTTP status 503");
    m_server.reset();
    m_controller = std::make_unique<SearchController>(
        m_view, m_settings, m_cache, m_clock,
        [] { return std::make_unique<proxy::CGoogleSearch>("http://127.0.0.1:1/search/beta2"); },
        m_poster, m_threads);
    runSearch();
    EXPECT_EQ(m_view.ends.back().reason, "connection refused");
    EXPECT_EQ(m_view.fields.statusText, "Error!");
}

TEST_F(SearchControllerTest, NoLicenceKey) {
    start({});
    m_view.fields.licenceKey.clear();
    m_controller->OnSearch();
    ASSERT_EQ(m_view.messages.size(), 1U);
    EXPECT_EQ(m_view.messages[0], kNoLicenceKeyMessage);
    EXPECT_NE(kNoLicenceKeyMessage.find("Google\xE2\x84\xA2 licence key"), std::string::npos);
    EXPECT_FALSE(m_controller->busy());
    EXPECT_EQ(m_settings.getString("Settings", "License Key", "unset"), "unset");
}

// The service faked below the proxy: a socket that takes the request and hands back prepared
// answers, one per connection, without any network.
class FakeServiceSocket final : public http::Socket {
public:
    explicit FakeServiceSocket(std::string answer) : m_answer(std::move(answer)) {}
    HResult connect(const std::string& /*host*/, std::uint16_t /*port*/) override {
        m_connected = true;
        return kOk;
    }
    HResult send(const std::vector<std::string_view>& pieces, std::size_t& sent) override {
        sent = 0;
        for (const std::string_view piece : pieces) {
            sent += piece.size();
        }
        return kOk;
    }
    HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override {
        count = std::min(capacity, m_answer.size() - m_at);
        m_answer.copy(buffer, count, m_at);
        m_at += count;
        return kOk;
    }
    void close() override { m_connected = false; }
    bool connected() const override { return m_connected; }
    bool reusable() override { return false; }
    void setTimeout(std::uint32_t /*milliseconds*/) override {}
    void setDeadline(Deadline /*deadline*/) override {}
    int lastError() const override { return 0; }

private:
    std::string m_answer;
    std::size_t m_at = 0;
    bool m_connected = false;
};

TEST_F(SearchControllerTest, PagingAgainstAFakeService) {
    m_settings.putInt("Settings", "Maximum Results", 20);
    auto answers = std::make_shared<std::vector<std::string>>(std::vector<std::string>{
        test::searchAnswer(0, 10), ScriptedServer::response(500, "fault?")});
    auto next = std::make_shared<std::atomic<std::size_t>>(0);
    SearchController controller{m_view,
                                m_settings,
                                m_cache,
                                m_clock,
                                [answers, next] {
                                    return std::make_unique<proxy::CGoogleSearch>(
                                        "http://fake.invalid/search/beta2", soap::createSaxReader,
                                        [answers, next](std::string_view /*scheme*/) {
                                            return std::make_unique<FakeServiceSocket>(answers->at(
                                                std::min(next->fetch_add(1), answers->size() - 1)));
                                        });
                                },
                                m_poster,
                                m_threads};
    m_view.fields.queryWord = "fake";
    m_view.fields.licenceKey = "k";
    controller.OnSearch();
    int command = 0;
    while (controller.busy()) {
        ASSERT_TRUE(m_poster->next(command, std::chrono::seconds{20}));
        controller.OnSearchCompleted();
    }
    EXPECT_EQ(m_view.fields.statusText, "Error!") << "the second request failed";
    cache::SearchResultSet cached;
    ASSERT_TRUE(m_cache.Lookup("fake", cached, false));
    EXPECT_EQ(cached.urls.size(), 10U) << "the first page stays";
    EXPECT_EQ(m_settings.getInt("Settings", "Search Count", 0), 1);
    EXPECT_EQ(next->load(), 2U) << "two requests reached the fake service";
}

// Regression: the worker destroyed its proxy after posting the end, so a program that exited on
// that command raced the proxy's destructor against the freed process heap.
TEST_F(SearchControllerTest, TheProxyIsGoneWhenTheEndIsPosted) {
    class WatchedProxy final : public proxy::CGoogleSearch {
    public:
        WatchedProxy(std::shared_ptr<std::atomic<bool>> destroyed)
            : CGoogleSearch("http://127.0.0.1:1/search/beta2"), m_destroyed(std::move(destroyed)) {}
        ~WatchedProxy() override { *m_destroyed = true; }

    private:
        std::shared_ptr<std::atomic<bool>> m_destroyed;
    };
    auto destroyed = std::make_shared<std::atomic<bool>>(false);
    SearchController controller{m_view,
                                m_settings,
                                m_cache,
                                m_clock,
                                [destroyed] { return std::make_unique<WatchedProxy>(destroyed); },
                                m_poster,
                                m_threads};
    m_view.fields.queryWord = "watched";
    m_view.fields.licenceKey = "k";
    controller.OnSearch();
    int command = 0;
    ASSERT_TRUE(m_poster->next(command, std::chrono::seconds{20}));
    EXPECT_TRUE(*destroyed);
    controller.OnSearchCompleted();
}

TEST_F(SearchControllerTest, AShortSecondPageEndsTheSearch) {
    m_settings.putInt("Settings", "Maximum Results", 30);
    start({ScriptedServer::answer(test::searchAnswer(0, 10)),
           ScriptedServer::answer(test::searchAnswer(10, 5))});
    runSearch();
    EXPECT_EQ(m_server->requests().size(), 2U);
    ASSERT_EQ(m_view.shown.size(), 1U);
    EXPECT_EQ(m_view.shown[0].urls.size(), 15U);
}

TEST_F(SearchControllerTest, AWorkerThatCannotStartIsReported) {
    start({});
    SearchController controller{m_view,
                                m_settings,
                                m_cache,
                                m_clock,
                                [] { return std::unique_ptr<proxy::CGoogleSearch>{}; },
                                m_poster,
                                [](const std::function<void()>&) { return false; }};
    controller.OnSearch();
    EXPECT_FALSE(controller.busy());
    EXPECT_TRUE(m_view.searchEnabled);
    EXPECT_EQ(m_view.messages.size(), 1U);
    EXPECT_EQ(m_view.fields.statusText, "Error!");
}

// Regression: the worker wrote its answer into the controller's own record, so a window closed
// during a request left the thread writing into freed memory.
TEST_F(SearchControllerTest, AWindowClosedDuringARequestFreesNothingUnderTheWorker) {
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    auto controller = std::make_unique<SearchController>(
        m_view, m_settings, m_cache, m_clock,
        [released] {
            released.wait();
            return std::make_unique<proxy::CGoogleSearch>("http://127.0.0.1:1/search/beta2");
        },
        m_poster, m_threads);
    m_view.fields.queryWord = "closed";
    m_view.fields.licenceKey = "k";
    controller->OnSearch();
    controller.reset();
    release->set_value();
    int command = 0;
    ASSERT_TRUE(m_poster->next(command, std::chrono::seconds{20}));
    EXPECT_EQ(command, res::kCmdSearchCompleted);
}

} // namespace
} // namespace tarvex::app
