// The index on PostgreSQL answers as the local index does: run against a throwaway cluster.
#include "service/pg_connection.h"
#include "service/pg_index.h"
#include "service/pg_schema.h"
#include "service/search_index.h"
#include "support/pg_cluster.h"
#include "support/pg_test_database.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <set>
#include <thread>
#include <unistd.h>

namespace tarvex::search {
namespace {

using test::PgCluster;
using test::PgTestDatabase;

// The words a text shows in bold, in order; the ellipses of a cut snippet left out.
std::vector<std::string> boldWords(const std::string& html) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = html.find("<b>", at)) != std::string::npos) {
        const auto end = html.find("</b>", at);
        std::string word = html.substr(at + 3, end - at - 3);
        if (word != "...") {
            words.push_back(std::move(word));
        }
        at = end;
    }
    return words;
}

std::set<std::string> urlSet(const SearchPage& page) {
    std::set<std::string> urls;
    for (const SearchHit& hit : page.hits) {
        urls.insert(hit.url);
    }
    return urls;
}

class PgIndexTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        skipReason = PgTestDatabase::unavailable();
        if (!skipReason.empty()) {
            return;
        }
        try {
            database = std::make_unique<PgTestDatabase>();
            bundled = readCorpus(bundledCorpusText());
            pgIndex = std::make_unique<PgIndex>(database->conninfo(), 2);
            static_cast<void>(pgIndex->load(bundled));
            localIndex = std::make_unique<SearchIndex>(bundled, 1);
        } catch (const std::exception& error) {
            setUpFailure = error.what();
        }
    }
    static void TearDownTestSuite() {
        pgIndex.reset();
        localIndex.reset();
        database.reset();
    }
    void SetUp() override {
        if (!skipReason.empty()) {
            GTEST_SKIP() << skipReason;
        }
        ASSERT_TRUE(setUpFailure.empty()) << setUpFailure;
    }

    static SearchRequest request(std::string_view query, bool filter = false, bool safe = false,
                                 std::int32_t start = 0, std::int32_t count = 1000) {
        return SearchRequest{query, start, count, filter, safe, {}};
    }
    // A database of its own on the cluster, for a test that loads a corpus of its own.
    static std::string freshDatabase(const std::string& name) {
        return database->freshDatabase(name);
    }

    static std::string skipReason;
    static std::string setUpFailure;
    static std::unique_ptr<PgTestDatabase> database;
    static std::vector<Document> bundled;
    static std::unique_ptr<PgIndex> pgIndex;
    static std::unique_ptr<SearchIndex> localIndex;
};

std::string PgIndexTest::skipReason;
std::string PgIndexTest::setUpFailure;
std::unique_ptr<PgTestDatabase> PgIndexTest::database;
std::vector<Document> PgIndexTest::bundled;
std::unique_ptr<PgIndex> PgIndexTest::pgIndex;
std::unique_ptr<SearchIndex> PgIndexTest::localIndex;

// Words, phrases, OR, exclusions, +word, site:, case, punctuation and queries that match
// nothing, over the built-in corpus.
const char* const kQueries[] = {
    "shrdlu",
    "SHRDLU MacLisp",
    "computing",
    "lisp",
    "teletype",
    "\"blocks world\"",
    "\"world of blocks\"",
    "\"language natural\"",
    "\"natural language\" research",
    "lisp OR teletype",
    "eniac OR edsac OR univac",
    "computing -lisp",
    "computing -\"time sharing\"",
    "+unix",
    "computing site:example.org",
    "lisp site:lisp.example.org",
    "pdp-10",
    "c++ language",
    "zyxwvut",
    "-lisp",
    "\"",
    "OR",
    "time-sharing systems",
};

TEST_F(PgIndexTest, BothIndexesMatchTheSameDocumentsAndMarkTheSameWords) {
    for (const char* query : kQueries) {
        SCOPED_TRACE(query);
        const SearchPage pg = pgIndex->search(request(query));
        const SearchPage local = localIndex->search(request(query));
        EXPECT_EQ(pg.total, local.total);
        ASSERT_EQ(urlSet(pg), urlSet(local));
        for (const SearchHit& hit : pg.hits) {
            const auto same =
                std::find_if(local.hits.begin(), local.hits.end(),
                             [&](const SearchHit& other) { return other.url == hit.url; });
            SCOPED_TRACE(hit.url);
            EXPECT_EQ(boldWords(hit.titleHtml), boldWords(same->titleHtml));
            EXPECT_EQ(boldWords(hit.snippetHtml), boldWords(same->snippetHtml));
            EXPECT_EQ(hit.snippetHtml, same->snippetHtml);
            EXPECT_EQ(hit.titleHtml, same->titleHtml);
            EXPECT_EQ(hit.cachedSize, same->cachedSize);
            EXPECT_EQ(hit.summary, same->summary);
            EXPECT_EQ(hit.category, same->category);
            EXPECT_EQ(hit.directoryTitle, same->directoryTitle);
        }
    }
}

TEST_F(PgIndexTest, SuggestsSpellingsAsTheLocalIndexDoes) {
    for (const char* phrase : {"shrdlx", "teletyep", "Computnig histroy", "lisx", "lisp",
                               "zzzzzzzz", "", "macslip winogard", "enaic"}) {
        SCOPED_TRACE(phrase);
        EXPECT_EQ(pgIndex->suggest(phrase), localIndex->suggest(phrase));
    }
    EXPECT_EQ(pgIndex->suggest("teletyep"), "teletype");
}

TEST_F(PgIndexTest, KeepsMarkupAsTextAndTheDatabaseOutOfReach) {
    const std::vector<Document> corpus{{"http://a.example.org/", "<b>Lisp</b> & \"Scheme\" it's",
                                        "", "x\x01y lisp\x02 <i>", "", "", false},
                                       {"http://b.example.org/",
                                        "Robert'); DROP TABLE documents;--", "", "tables", "", "",
                                        false}};
    PgIndex pg{freshDatabase("markup"), 1};
    ASSERT_TRUE(pg.load(corpus));
    SearchIndex local{corpus, 1};
    const SearchPage page = pg.search(request("lisp"));
    ASSERT_EQ(page.hits.size(), 1U);
    EXPECT_EQ(page.hits[0].titleHtml,
              "&lt;b&gt;<b>Lisp</b>&lt;/b&gt; &amp; &quot;Scheme&quot; it's");
    EXPECT_EQ(page.hits[0].titleHtml, local.search(request("lisp")).hits[0].titleHtml);
    EXPECT_EQ(page.hits[0].snippetHtml, local.search(request("lisp")).hits[0].snippetHtml);
    for (const char* hostile :
         {"'; DROP TABLE documents; --", "\") || !!(", "$1 $2", "\xff\xfe lisp", "site:'",
          "lisp site:%", "\\", "a:b:c & | ! <->"}) {
        SCOPED_TRACE(hostile);
        EXPECT_EQ(urlSet(pg.search(request(hostile))), urlSet(local.search(request(hostile))));
        EXPECT_EQ(pg.suggest(hostile).empty(), local.suggest(hostile).empty());
    }
    EXPECT_EQ(pg.search(request("tables")).total, 1);
    EXPECT_EQ(pg.cachedPage("http://b.example.org/"), "tables");
    EXPECT_EQ(pg.cachedPage("http://nowhere.example.org/"), "");
}

TEST_F(PgIndexTest, LoadingTheSameCorpusAgainChangesNothing) {
    const std::string conninfo = freshDatabase("reload");
    PgIndex pg{conninfo, 1};
    PgConnection reader{conninfo};
    // A row's xmin names the transaction that wrote it: a rewrite shows as new ones.
    const auto rows = [&] {
        const PgResult result = reader.execute(
            "SELECT count(*) || ' ' || string_agg(xmin::text, ',' ORDER BY id) FROM documents");
        return std::string{pgText(result.get(), 0, 0)};
    };
    ASSERT_TRUE(pg.load(bundled));
    const std::string first = rows();
    EXPECT_FALSE(pg.load(bundled));
    EXPECT_EQ(rows(), first);

    std::vector<Document> fewer(bundled.begin() + 1, bundled.end());
    EXPECT_TRUE(pg.load(fewer));
    EXPECT_NE(rows(), first);
    EXPECT_EQ(pg.cachedPage(bundled.front().url), "");
    EXPECT_TRUE(pg.load(bundled));
    EXPECT_EQ(pg.cachedPage(bundled.front().url), bundled.front().body);
}

TEST_F(PgIndexTest, ALostSessionIsOpenedAgainAndAStoppedServerIsAFaultAtOnce) {
    // One session, killed by the server: the next search opens a new one and answers.
    PgIndex index{database->conninfo(), 1};
    PgConnection admin{database->conninfo()};
    static_cast<void>(admin.execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                    "WHERE pid <> pg_backend_pid() AND datname = $1 "
                                    "AND backend_type = 'client backend'",
                                    {database->name()}));
    EXPECT_EQ(urlSet(index.search(request("lisp"))), urlSet(localIndex->search(request("lisp"))));

    // The server gone: a fault that says so (after at most the connect timeout), not a hang.
    PgCluster own{*PgCluster::findBinaries()};
    PgIndex lost{own.conninfo(), 1};
    own.stopServer();
    try {
        static_cast<void>(lost.search(request("lisp")));
        FAIL() << "a search without a server answered";
    } catch (const BackendError& error) {
        EXPECT_EQ(std::string{error.what()}.rfind("database unavailable", 0), 0U) << error.what();
    }
}

// A session lost inside a transaction was opened again and the statement run there on its own:
// the rest of a load stood without its start, and its COMMIT said done.
TEST(PgConnectionTest, ASessionLostInATransactionIsAFaultAndRunsNothingOutsideIt) {
    if (const std::string unavailable = PgTestDatabase::unavailable(); !unavailable.empty()) {
        GTEST_SKIP() << unavailable;
    }
    const PgTestDatabase database;
    PgConnection session{database.conninfo()};
    PgConnection admin{database.conninfo()};
    static_cast<void>(session.execute("CREATE TABLE kept (n int)"));
    static_cast<void>(session.execute("BEGIN"));
    static_cast<void>(session.execute("INSERT INTO kept VALUES (1)"));
    const PgResult pid = session.execute("SELECT pg_backend_pid()");
    const PgResult ended = admin.execute("SELECT pg_terminate_backend($1::int, 60000)",
                                         {std::string{pgText(pid.get(), 0, 0)}});
    ASSERT_EQ(pgText(ended.get(), 0, 0), "t");
    EXPECT_THROW(static_cast<void>(session.execute("INSERT INTO kept VALUES (2)")), BackendError);
    rollBack(session);
    const PgResult count = session.execute("SELECT count(*) FROM kept");
    EXPECT_EQ(pgText(count.get(), 0, 0), "0");
}

// A server that stops answering in the middle of a statement (its process stopped here; a host
// gone without a word elsewhere): the wait ends in a fault, and the session opens again after.
TEST(PgConnectionTest, AServerThatStopsAnsweringIsAFaultAndTheSessionOpensAgain) {
    if (const std::string unavailable = PgTestDatabase::unavailable(); !unavailable.empty()) {
        GTEST_SKIP() << unavailable;
    }
    const PgTestDatabase database;
    PgConnection session{database.conninfo()};
    session.setAnswerTimeout(std::chrono::milliseconds{300});
    const PgResult pid = session.execute("SELECT pg_backend_pid()");
    const pid_t backend = std::stoi(std::string{pgText(pid.get(), 0, 0)});
    if (::kill(backend, SIGSTOP) != 0) {
        GTEST_SKIP() << "the server's processes cannot be stopped from here";
    }
    struct Resume {
        pid_t process;
        ~Resume() { ::kill(process, SIGCONT); }
    } resume{backend};
    try {
        static_cast<void>(session.execute("SELECT 1"));
        FAIL() << "a stopped server answered";
    } catch (const BackendError& error) {
        EXPECT_EQ(std::string{error.what()}.rfind("database unavailable", 0), 0U) << error.what();
    }
    EXPECT_FALSE(session.healthy());
    ::kill(backend, SIGCONT);
    session.reset();
    const PgResult one = session.execute("SELECT 1");
    EXPECT_EQ(pgText(one.get(), 0, 0), "1");
}

TEST(PgConnectionTest, AnUnreachableDatabaseFailsWithTheReason) {
    const test::ClosedPort closed;
    const std::string conninfo =
        "host=127.0.0.1 port=" + std::to_string(closed.port()) + " dbname=none user=none";
    try {
        PgIndex index{conninfo, 2};
        FAIL() << "connected to a closed port";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string{error.what()}.find("cannot connect to the database"),
                  std::string::npos)
            << error.what();
        EXPECT_NE(std::string{error.what()}.find("refused"), std::string::npos) << error.what();
    }
}

TEST(PgConnectionTest, AServerThatNeverAnswersTimesOut) {
    // A listening socket that is never accepted from: the connection is made by the kernel,
    // the server's greeting never comes, and only the connect timeout ends the wait.
    std::uint16_t port = 0;
    const int fd = test::listenOnLoopback(port);
    const std::string conninfo =
        "host=127.0.0.1 port=" + std::to_string(port) + " dbname=none user=none";
    EXPECT_THROW(PgConnection{conninfo}, std::runtime_error);
    ::close(fd);
}

} // namespace
} // namespace tarvex::search
