// Reading corpus files: the control-file layout, the service's own fields, the package
// catalogue, and the built-in corpus.
#include "service/corpus.h"
#include "service/corpus_source.h"
#include "service/stanza_reader.h"

#include <gtest/gtest.h>

namespace tarvex::search {
namespace {

TEST(StanzaReaderTest, FieldsContinuationsCommentsAndBadLines) {
    std::size_t bad = 0;
    const auto stanzas = readStanzas("# comment\r\n"
                                     "Name:  first  \r\n"
                                     "Body: line one\n"
                                     " line two\n"
                                     " .\n"
                                     "  indented\n"
                                     "\n\n"
                                     " continuation with no field\n"
                                     "no colon here\n"
                                     "Name: second\n",
                                     &bad);
    ASSERT_EQ(stanzas.size(), 2U);
    EXPECT_EQ(stanzas[0].value("name"), "first");
    EXPECT_EQ(stanzas[0].value("BODY"), "line one\nline two\n\n indented");
    EXPECT_FALSE(stanzas[0].has("Other"));
    EXPECT_EQ(stanzas[1].value("Name"), "second");
    EXPECT_EQ(bad, 2U);
    EXPECT_TRUE(readStanzas("").empty());
    EXPECT_TRUE(readStanzas("\n\n  \n").empty());
}

TEST(CorpusTest, RecordsNeedAUrlAndATitle) {
    CorpusReport report;
    const auto documents = readCorpus("URL: http://a.example/\nTitle: A\nSummary: s\n"
                                      "Body: b\n more\nCategory: C > D\nDirectory-Title: DT\n"
                                      "Adult: Yes\n\n"
                                      "Title: no address\n\n"
                                      "URL: http://b.example/\n\n"
                                      "URL: http://c.example/\nTitle: C\n",
                                      &report);
    ASSERT_EQ(documents.size(), 2U);
    const Document& a = documents[0];
    EXPECT_EQ(a.url, "http://a.example/");
    EXPECT_EQ(a.title, "A");
    EXPECT_EQ(a.summary, "s");
    EXPECT_EQ(a.body, "b\nmore");
    EXPECT_EQ(a.category, "C > D");
    EXPECT_EQ(a.directoryTitle, "DT");
    EXPECT_TRUE(a.adult);
    EXPECT_FALSE(documents[1].adult);
    EXPECT_EQ(report.skippedRecords, 2U);
}

TEST(CorpusTest, PackageCatalogueTakesInstalledPackagesOnly) {
    const std::string status = "Package: curl\n"
                               "Status: install ok installed\n"
                               "Section: web\n"
                               "Description: command line tool for transferring data\n"
                               " curl is a client to get files from servers.\n"
                               " .\n"
                               " It supports many protocols.\n"
                               "Homepage: https://curl.se/\n\n"
                               "Package: gone\n"
                               "Status: deinstall ok config-files\n"
                               "Description: removed\n\n"
                               "Package: nohome\n"
                               "Status: install ok installed\n"
                               "Description: short only\n";
    CorpusReport report;
    const auto documents = readPackageCatalogue(status, &report);
    ASSERT_EQ(documents.size(), 2U);
    EXPECT_EQ(documents[0].title, "curl - command line tool for transferring data");
    EXPECT_EQ(documents[0].summary, "command line tool for transferring data");
    EXPECT_EQ(documents[0].body,
              "curl is a client to get files from servers.\n\nIt supports many protocols.");
    EXPECT_EQ(documents[0].url, "https://curl.se/");
    EXPECT_EQ(documents[0].category, "web");
    EXPECT_EQ(documents[0].directoryTitle, "curl");
    EXPECT_EQ(documents[1].url, "https://packages.debian.org/nohome");
    EXPECT_EQ(documents[1].body, "short only");
    EXPECT_EQ(report.skippedRecords, 1U);

    // The format is told by the first record.
    EXPECT_EQ(documentsFrom(status).size(), 2U);
    EXPECT_EQ(documentsFrom("URL: http://x.example/\nTitle: X\n").size(), 1U);
}

TEST(CorpusTest, HostOfWebAddressesOnly) {
    EXPECT_EQ(hostOf("http://WWW.Example.org/path?q"), "www.example.org");
    EXPECT_EQ(hostOf("https://user:pw@host.example:8080/"), "host.example");
    EXPECT_EQ(hostOf("ftp://files.example"), "files.example");
    EXPECT_EQ(hostOf("http://[::1]:80/"), "[::1]");
    EXPECT_EQ(hostOf("javascript:alert(1)"), "");
    EXPECT_EQ(hostOf("file:///etc/passwd"), "");
    EXPECT_EQ(hostOf("no address"), "");
}

TEST(CorpusTest, BuiltInCorpusReadsCleanly) {
    CorpusReport report;
    const auto documents = readCorpus(bundledCorpusText(), &report);
    EXPECT_GE(documents.size(), 40U);
    EXPECT_EQ(report.badLines, 0U);
    EXPECT_EQ(report.skippedRecords, 0U);
    for (const Document& document : documents) {
        EXPECT_FALSE(hostOf(document.url).empty()) << document.url;
        EXPECT_FALSE(document.body.empty()) << document.url;
    }
}

TEST(CorpusTest, UnreadableOrEmptyCorpusFileIsAnError) {
    std::string error;
    EXPECT_FALSE(loadCorpus(std::string{"/nonexistent/corpus"}, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    EXPECT_FALSE(loadCorpus(std::string{"/dev/null"}, error));
    EXPECT_NE(error.find("no documents"), std::string::npos);
}

} // namespace
} // namespace tarvex::search
