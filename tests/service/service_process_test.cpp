// The service as a real process on a loopback port: the client's three-page search, the
// HTTP answers, keys and quota, the other two operations, an independent SOAP toolkit, the
// window's help and more-tools pages, two services on one database, and a clean stop.
#include "support/service_process.h"

#include "app/service_pages.h"
#include "base/code_page.h"
#include "base/sys_string.h"
#include "proxy/google_search.h"
#include "service/command_line.h"
#include "service/web_pages.h"
#include "shell/brand_texts.h"
#include "support/pg_cluster.h"
#include "tarvex/command.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <set>
#include <thread>

namespace tarvex::search {
namespace {

const std::string kCorpus = TARVEX_BUNDLED_CORPUS;

int portOf(const std::string& endpoint) {
    const auto colon = endpoint.rfind(':');
    return std::stoi(endpoint.substr(colon + 1));
}

std::string statusLine(const std::string& answer) {
    return answer.substr(0, answer.find("\r\n"));
}

std::string post(int port, const std::string& headers, const std::string& body) {
    return test::rawExchange("127.0.0.1", port,
                             "POST /search/beta2 HTTP/1.1\r\nHost: localhost\r\n"
                             "Connection: close\r\n" +
                                 headers + "\r\n" + body);
}

std::string get(int port, const std::string& target, const std::string& method = "GET") {
    return test::rawExchange("127.0.0.1", port,
                             method + " " + target +
                                 " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
}

std::string withLength(const std::string& body) {
    return "Content-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
}

struct SearchOutcome {
    HResult status;
    std::vector<std::string> urls;
    std::int32_t total = 0;
    std::string fault;
};

SearchOutcome searchPage(const std::string& endpoint, std::u16string_view key,
                         std::u16string_view q, std::int32_t start, std::int32_t count = 10) {
    proxy::CGoogleSearch proxy{endpoint};
    const UniqueSysString keyText{sysAllocString(key)};
    const UniqueSysString queryText{sysAllocString(q)};
    proxy::GoogleSearchResult result{};
    SearchOutcome outcome;
    outcome.status = proxy.doGoogleSearch(keyText.get(), queryText.get(), start, count, true,
                                          nullptr, false, nullptr, nullptr, nullptr, result);
    if (failed(outcome.status)) {
        outcome.fault = utf16ToCodePage(sysStringView(proxy.fault().faultString.get()));
        return outcome;
    }
    outcome.total = result.estimatedTotalResultsCount;
    for (std::int32_t i = 0; i < result.resultElementsCount; ++i) {
        outcome.urls.push_back(utf16ToCodePage(sysStringView(result.resultElements[i].URL)));
    }
    proxy::releaseGoogleSearchResult(result);
    return outcome;
}

class ServiceProcessTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_service = std::make_unique<test::ServiceProcess>(
            TARVEX_SERVICE_BINARY, std::vector<std::string>{"--corpus", kCorpus});
    }
    static void TearDownTestSuite() { s_service.reset(); }

    void SetUp() override {
        ASSERT_FALSE(s_service->endpoint().empty()) << s_service->errorOutput();
    }

    static std::unique_ptr<test::ServiceProcess> s_service;
};

std::unique_ptr<test::ServiceProcess> ServiceProcessTest::s_service;

TEST_F(ServiceProcessTest, ThirtyResultsInThreeConsistentPages) {
    const std::string settings = testing::TempDir() + "tarvex_service_settings.ini";
    std::remove(settings.c_str());
    const cli::ToolRun run =
        cli::run({"search", "--endpoint", s_service->endpoint(), "--key", "k", "--max", "30",
                  "--settings", settings, "--no-cache", "--json", "computing"});
    std::remove(settings.c_str());
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    const auto urls = json.at("urls").get<std::vector<std::string>>();
    ASSERT_EQ(urls.size(), 30U);
    EXPECT_EQ(std::set<std::string>(urls.begin(), urls.end()).size(), 30U);

    // The same three pages asked for one by one come in the same order.
    std::vector<std::string> pages;
    for (const std::int32_t start : {0, 10, 20}) {
        const SearchOutcome page = searchPage(s_service->endpoint(), u"k", u"computing", start);
        ASSERT_EQ(page.status, kOk) << page.fault;
        EXPECT_EQ(page.total, json.at("estimatedTotal").get<std::int32_t>());
        pages.insert(pages.end(), page.urls.begin(), page.urls.end());
    }
    EXPECT_EQ(pages, urls);
    // One log line per request.
    EXPECT_NE(s_service->errorOutput().find("\"POST /search/beta2\" 200"), std::string::npos);
}

TEST_F(ServiceProcessTest, NoHitsIsAnEmptyAnswerAndElevenResultsAFault) {
    const SearchOutcome page = searchPage(s_service->endpoint(), u"k", u"zyxwvut", 0);
    EXPECT_EQ(page.status, kOk);
    EXPECT_TRUE(page.urls.empty());
    EXPECT_EQ(page.total, 0);
    const SearchOutcome eleven = searchPage(s_service->endpoint(), u"k", u"lisp", 0, 11);
    EXPECT_TRUE(failed(eleven.status));
    EXPECT_EQ(eleven.fault, "Exception from service object: maxResults must be between 1 and 10.");
}

TEST_F(ServiceProcessTest, HttpAnswersForWhatIsNotACall) {
    const int port = portOf(s_service->endpoint());
    const std::string request = "HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(statusLine(test::rawExchange("127.0.0.1", port, "GET /elsewhere " + request)),
              "HTTP/1.1 404 Not Found");
    const std::string get = test::rawExchange("127.0.0.1", port, "GET /search/beta2 " + request);
    EXPECT_EQ(statusLine(get), "HTTP/1.1 405 Method Not Allowed");
    EXPECT_NE(get.find("Allow: POST"), std::string::npos);
    EXPECT_EQ(statusLine(post(port, "Content-Type: text/xml\r\n", "<x/>")),
              "HTTP/1.1 411 Length Required");
    // Refused on its announced length, before any of the body is read.
    EXPECT_EQ(statusLine(post(port, "Content-Length: 1048577\r\n", "")),
              "HTTP/1.1 413 Payload Too Large");
    const std::string chunk(std::size_t{600} * 1024, 'a');
    const std::string chunkedBody = "96000\r\n" + chunk + "\r\n96000\r\n" + chunk + "\r\n0\r\n\r\n";
    EXPECT_EQ(statusLine(post(port, "Transfer-Encoding: chunked\r\n", chunkedBody)),
              "HTTP/1.1 413 Payload Too Large");
    const std::string malformed = post(port, withLength("<not xml"), "<not xml");
    EXPECT_EQ(statusLine(malformed), "HTTP/1.1 500 Internal Server Error");
    EXPECT_NE(malformed.find("<faultcode>SOAP-ENV:Client</faultcode>"), std::string::npos);
    // The service still answers afterwards.
    EXPECT_EQ(searchPage(s_service->endpoint(), u"k", u"lisp", 0).status, kOk);
}

TEST_F(ServiceProcessTest, TheSearchPageShowsResultsFromTheIndex) {
    const int port = portOf(s_service->endpoint());
    const std::string tail = "&meta=lr%3D%26hl%3Den&btnG=Google+Search";
    const std::string page = get(port, "/search?q=shrdlu%20maclisp" + tail);
    EXPECT_EQ(statusLine(page), "HTTP/1.1 200 OK");
    EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"http://shrdlu.example.org/\"><b>SHRDLU</b>, a program that "
                        "understood a world of blocks</a>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("for <b>shrdlu maclisp</b>"), std::string::npos);
    // The same page whichever way the blank came.
    const auto body = [](const std::string& answer) {
        return answer.substr(answer.find("\r\n\r\n"));
    };
    EXPECT_EQ(body(get(port, "/search?q=shrdlu+maclisp" + tail)), body(page));

    const std::string head = get(port, "/search?q=shrdlu", "HEAD");
    EXPECT_EQ(statusLine(head), "HTTP/1.1 200 OK");
    EXPECT_TRUE(head.ends_with("\r\n\r\n")) << head;
    const std::string refused = test::rawExchange(
        "127.0.0.1", port,
        "POST /search HTTP/1.1\r\nHost: localhost\r\nContent-Length: 3\r\n\r\nq=x");
    EXPECT_EQ(statusLine(refused), "HTTP/1.1 405 Method Not Allowed");
    EXPECT_NE(refused.find("Allow: GET"), std::string::npos);
    EXPECT_NE(refused.find("Connection: close"), std::string::npos);
    EXPECT_EQ(statusLine(get(port, "/search?q=" + std::string(2049, 'a'))),
              "HTTP/1.1 414 URI Too Long");
    EXPECT_NE(s_service->errorOutput().find("\"GET /search\" 200"), std::string::npos);
}

TEST_F(ServiceProcessTest, TheKeyPageSaysAnyKeyWillDo) {
    const std::string page = get(portOf(s_service->endpoint()), "/apis");
    EXPECT_EQ(statusLine(page), "HTTP/1.1 200 OK");
    EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(page.find("accepts any key that is not empty"), std::string::npos) << page;
    EXPECT_NE(page.find("no daily limit"), std::string::npos);
}

// The window's "Help?" and "More Tools..." addresses, moved onto the service's origin as the
// window moves them, are pages of the service.
TEST_F(ServiceProcessTest, TheWindowHelpAndMoreToolsAddressesAreServed) {
    const int port = portOf(s_service->endpoint());
    const std::string origin = app::endpointOrigin(s_service->endpoint());
    const std::string policy =
        std::string{"Content-Security-Policy: "} + WebPages::kSecurityPolicy + "\r\n";
    for (const std::string& address : {shell::helpAddress(), shell::moreToolsAddress()}) {
        const std::string moved = app::addressOnOrigin(origin, address);
        ASSERT_TRUE(moved.starts_with(origin + "/")) << moved;
        const std::string target = moved.substr(origin.size());
        const std::string page = get(port, target);
        EXPECT_EQ(statusLine(page), "HTTP/1.1 200 OK") << target;
        EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
        EXPECT_NE(page.find(policy), std::string::npos) << page;
        const std::string head = get(port, target, "HEAD");
        EXPECT_EQ(statusLine(head), "HTTP/1.1 200 OK");
        EXPECT_TRUE(head.ends_with("\r\n\r\n")) << head;
    }
    // The more-tools page lists every command of the tool, and names no option that neither the
    // tool nor the service has.
    const std::string more =
        get(port, app::addressOnOrigin(origin, shell::moreToolsAddress()).substr(origin.size()));
    std::string usage = kUsage;
    for (const cli::Command& command : cli::commands()) {
        EXPECT_NE(more.find("tarvex " + std::string{command.name}), std::string::npos)
            << command.name;
        usage += command.help;
    }
    constexpr std::string_view kNameChars = "abcdefghijklmnopqrstuvwxyz-";
    const auto hasOption = [&usage, kNameChars](const std::string& option) {
        for (auto at = usage.find(option); at != std::string::npos;
             at = usage.find(option, at + 1)) {
            const auto after = at + option.size();
            if (after == usage.size() || kNameChars.find(usage[after]) == std::string_view::npos) {
                return true;
            }
        }
        return false;
    };
    std::size_t options = 0;
    for (auto at = more.find("--"); at != std::string::npos; at = more.find("--", at), ++options) {
        const auto end = more.find_first_not_of(kNameChars, at + 2);
        EXPECT_TRUE(hasOption(more.substr(at, end - at))) << more.substr(at, end - at);
        at = end;
    }
    EXPECT_GE(options, 10U);
    const std::string unknown = get(port, std::string{WebPages::kWindowPagesPath} + "?page=x");
    EXPECT_EQ(statusLine(unknown), "HTTP/1.1 404 Not Found");
    EXPECT_NE(unknown.find(policy), std::string::npos) << unknown;
    EXPECT_NE(unknown.find("<title>Not found</title>"), std::string::npos);
}

TEST_F(ServiceProcessTest, SpellingSuggestionAndCachedPage) {
    proxy::CGoogleSearch proxy{s_service->endpoint()};
    const UniqueSysString key{sysAllocString(u"k")};
    const UniqueSysString phrase{sysAllocString(u"macslip teletyep")};
    SysString suggestion = nullptr;
    ASSERT_EQ(proxy.doSpellingSuggestion(key.get(), phrase.get(), suggestion), kOk);
    EXPECT_EQ(sysStringView(suggestion), u"maclisp teletype");
    sysFreeString(suggestion);

    const UniqueSysString url{sysAllocString(u"http://eniac.example.com/")};
    soap::XsdBinary page{};
    ASSERT_EQ(proxy.doGetCachedPage(key.get(), url.get(), page), kOk);
    const std::string text(reinterpret_cast<const char*>(page.data),
                           static_cast<std::size_t>(page.size));
    EXPECT_TRUE(text.starts_with("ENIAC filled a room")) << text;
    processHeap().release(page.data);
}

TEST_F(ServiceProcessTest, AnIndependentSoapToolkitGetsResults) {
    const std::string command =
        "perl " TARVEX_SOAP_LITE_CLIENT " '" + s_service->endpoint() + "' k 'shrdlu maclisp' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    EXPECT_EQ(pclose(pipe), 0) << output;
    EXPECT_NE(output.find("indexes 1 "), std::string::npos) << output;
    EXPECT_NE(output.find("url http://shrdlu.example.org/"), std::string::npos) << output;
}

TEST(ServiceProcessOptionsTest, KeysAndQuotaComeFromTheCommandLine) {
    const std::string keys = testing::TempDir() + "tarvex_service_keys.txt";
    std::ofstream{keys} << "# accepted keys\ngood\n  other  \n";
    test::ServiceProcess service{TARVEX_SERVICE_BINARY,
                                 {"--corpus", kCorpus, "--keys", keys, "--quota", "2"}};
    ASSERT_FALSE(service.endpoint().empty()) << service.errorOutput();
    const SearchOutcome bad = searchPage(service.endpoint(), u"bad", u"lisp", 0);
    EXPECT_TRUE(failed(bad.status));
    EXPECT_EQ(bad.fault, "Exception from service object: Invalid authorization key: bad");
    EXPECT_EQ(searchPage(service.endpoint(), u"good", u"lisp", 0).status, kOk);
    EXPECT_EQ(searchPage(service.endpoint(), u"good", u"lisp", 0).status, kOk);
    const SearchOutcome over = searchPage(service.endpoint(), u"good", u"lisp", 0);
    EXPECT_EQ(over.fault,
              "Exception from service object: Daily limit of 2 queries exceeded for key good");
    EXPECT_EQ(searchPage(service.endpoint(), u"other", u"lisp", 0).status, kOk);
    EXPECT_EQ(service.stop(), 0);
    EXPECT_NE(service.errorOutput().find("tarvex-service: stopped"), std::string::npos);
    std::remove(keys.c_str());
}

// Two services on one PostgreSQL database, as behind a load balancer: one index (the second
// names no corpus and answers from what the first loaded), one quota under concurrent load, and
// a fault, not a hang, once the database is gone.
TEST(ServiceOnADatabaseTest, TwoServicesShareTheIndexAndTheQuota) {
    const auto binaries = test::PgCluster::findBinaries();
    if (!binaries) {
        GTEST_SKIP() << "no PostgreSQL server under /usr/lib/postgresql/*/bin";
    }
    test::PgCluster cluster{*binaries};
    const std::vector<std::string> shared{"--database", cluster.conninfo(), "--quota",
                                          "7",          "--threads",        "4"};
    std::vector<std::string> loading = shared;
    loading.insert(loading.end(), {"--corpus", kCorpus});
    test::ServiceProcess first{TARVEX_SERVICE_BINARY, loading};
    ASSERT_FALSE(first.endpoint().empty()) << first.errorOutput();
    test::ServiceProcess second{TARVEX_SERVICE_BINARY, shared};
    ASSERT_FALSE(second.endpoint().empty()) << second.errorOutput();
    const SearchOutcome fromFirst = searchPage(first.endpoint(), u"reader", u"lisp", 0);
    ASSERT_EQ(fromFirst.status, kOk) << fromFirst.fault;
    EXPECT_FALSE(fromFirst.urls.empty());
    EXPECT_EQ(searchPage(second.endpoint(), u"reader", u"lisp", 0).urls, fromFirst.urls);

    // Eight clients, four on each service, ask with one key until refused: seven answers in all.
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int k = 0; k < 8; ++k) {
        clients.emplace_back(
            [&answered, endpoint = k % 2 == 0 ? first.endpoint() : second.endpoint()] {
                for (int tries = 0; tries < 3; ++tries) {
                    if (searchPage(endpoint, u"shared-key", u"unix", 0).status == kOk) {
                        ++answered;
                    }
                }
            });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(answered.load(), 7);
    EXPECT_EQ(searchPage(second.endpoint(), u"shared-key", u"unix", 0).fault,
              "Exception from service object: Daily limit of 7 queries exceeded for key "
              "shared-key");

    cluster.stopServer();
    const SearchOutcome gone = searchPage(first.endpoint(), u"reader", u"unix", 0);
    EXPECT_EQ(gone.fault.rfind("database unavailable", 0), 0U) << gone.fault;
    EXPECT_EQ(first.stop(), 0);
    EXPECT_EQ(second.stop(), 0);
}

// A primary and a standby in one connection string: searches read from the standby and go on
// while the primary is down; counting a quota needs the primary and fails as a fault at once.
TEST(ServiceOnADatabaseTest, AStandbyAnswersWhileThePrimaryIsDown) {
    const auto binaries = test::PgCluster::findBinaries();
    if (!binaries) {
        GTEST_SKIP() << "no PostgreSQL server under /usr/lib/postgresql/*/bin";
    }
    test::PgCluster primary{*binaries};
    {
        test::ServiceProcess loader{TARVEX_SERVICE_BINARY,
                                    {"--database", primary.conninfo(), "--corpus", kCorpus}};
        ASSERT_FALSE(loader.endpoint().empty()) << loader.errorOutput();
    }
    test::PgCluster standby{*binaries, primary};
    const std::string both = "host=127.0.0.1,127.0.0.1 port=" + std::to_string(primary.port()) +
                             "," + std::to_string(standby.port()) + " user=" + primary.user() +
                             " dbname=postgres";
    test::ServiceProcess reader{TARVEX_SERVICE_BINARY, {"--database", both, "--threads", "2"}};
    ASSERT_FALSE(reader.endpoint().empty()) << reader.errorOutput();
    test::ServiceProcess counting{TARVEX_SERVICE_BINARY,
                                  {"--database", both, "--threads", "2", "--quota", "5"}};
    ASSERT_FALSE(counting.endpoint().empty()) << counting.errorOutput();
    const SearchOutcome before = searchPage(reader.endpoint(), u"k", u"lisp", 0);
    ASSERT_EQ(before.status, kOk) << before.fault;
    ASSERT_EQ(searchPage(counting.endpoint(), u"k", u"lisp", 0).status, kOk);

    primary.stopServer();
    const SearchOutcome during = searchPage(reader.endpoint(), u"k", u"lisp", 0);
    ASSERT_EQ(during.status, kOk) << during.fault;
    EXPECT_EQ(during.urls, before.urls);
    const SearchOutcome counted = searchPage(counting.endpoint(), u"k", u"lisp", 0);
    EXPECT_EQ(counted.fault.rfind("database unavailable", 0), 0U) << counted.fault;
}

TEST(ServiceProcessOptionsTest, TheKeyPageFollowsKeysAndQuota) {
    const std::string keys = testing::TempDir() + "tarvex_service_page_keys.txt";
    std::ofstream{keys} << "secretkey\n";
    test::ServiceProcess service{TARVEX_SERVICE_BINARY,
                                 {"--corpus", kCorpus, "--keys", keys, "--quota", "7"}};
    ASSERT_FALSE(service.endpoint().empty()) << service.errorOutput();
    const std::string page = get(portOf(service.endpoint()), "/apis");
    std::remove(keys.c_str());
    EXPECT_EQ(statusLine(page), "HTTP/1.1 200 OK");
    EXPECT_NE(page.find("only the keys listed in the keys file"), std::string::npos) << page;
    EXPECT_NE(page.find("7 searches per UTC day"), std::string::npos);
    EXPECT_EQ(page.find("secretkey"), std::string::npos);
    EXPECT_EQ(page.find(keys), std::string::npos);
}

TEST(ServiceProcessOptionsTest, MistakesEndTheProgramWithAMessage) {
    test::ServiceProcess badListen{TARVEX_SERVICE_BINARY, {"--listen", "127.0.0.1:99999"}};
    EXPECT_TRUE(badListen.endpoint().empty());
    EXPECT_EQ(badListen.exitStatus(), 2);
    EXPECT_NE(badListen.errorOutput().find("--listen"), std::string::npos);
    test::ServiceProcess noCorpus{TARVEX_SERVICE_BINARY, {"--corpus", "/nonexistent"}};
    EXPECT_EQ(noCorpus.exitStatus(), 2);
    EXPECT_NE(noCorpus.errorOutput().find("cannot read the corpus file"), std::string::npos);
}

} // namespace
} // namespace tarvex::search
