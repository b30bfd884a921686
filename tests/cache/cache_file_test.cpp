#include "cache/cache_file.h"
#include "support/cache_fakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include <sys/resource.h>

// Counts the allocations made while `gCountAllocations` is set, for the load's allocation test.
namespace {
std::atomic<bool> gCountAllocations{false};
std::atomic<std::size_t> gAllocations{0};
} // namespace

void* operator new(std::size_t size) {
    if (gCountAllocations) {
        ++gAllocations;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc{};
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t /*size*/) noexcept {
    std::free(block);
}

namespace tarvex::cache {
namespace {

using test::CollectedErrors;
using test::FixedClock;

const std::string kEndOfFile = "An attempt was made to access an unnamed file past its end.";

std::string hex(std::string_view bytes) {
    std::string out;
    char piece[4];
    for (const char c : bytes) {
        std::snprintf(piece, sizeof piece, "%02X ", static_cast<unsigned char>(c));
        out += piece;
    }
    return out;
}

class CacheFileTest : public ::testing::Test {
protected:
    void load(const std::string& bytes, const std::string& name = "/tmp/x.glr") {
        m_errors.messages.clear();
        readCacheBytes(bytes, name, m_loaded, m_errors);
    }

    FixedClock m_clock;
    CGoogleResultCacheArray m_cache{m_clock};
    CGoogleResultCacheArray m_loaded{m_clock};
    CollectedErrors m_errors;
};

TEST_F(CacheFileTest, TheWorkedExampleByteForByte) {
    m_cache.Store("abc", SearchResultSet{});
    const std::string bytes = writeCacheBytes(m_cache);
    ASSERT_EQ(bytes.size(), 104U);
    std::string expected = std::string("\x01\x00\x00\x00\xFF\xFF\x01\x00\x12\x00", 10) +
                           "CGoogleResultCache" +
                           std::string("\x03"
                                       "abc"
                                       "\x00\x00\x00\x00"
                                       "\x00\x00\x00\x00",
                                       12);
    double days = 46364.5;
    expected.append(reinterpret_cast<const char*>(&days), 8);
    for (int i = 0; i < 7; ++i) {
        expected += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8);
    }
    EXPECT_EQ(hex(bytes), hex(expected));

    m_cache.Store("def", SearchResultSet{});
    EXPECT_EQ(writeCacheBytes(m_cache).substr(104, 2), std::string("\x01\x80", 2))
        << "a class reference";
    EXPECT_EQ(writeCacheBytes(CGoogleResultCacheArray{m_clock}), std::string(4, '\0'))
        << "an empty cache";
}

TEST_F(CacheFileTest, RoundTripKeepsEverything) {
    SearchResultSet page;
    page.estimatedTotal = -5;
    page.urls = {"http://a/", std::string(254, 'x'), std::string(255, 'y'),
                 std::string(70000, 'z')};
    page.titles = {"<b>t</b>", "caf\xC3\xA9", "", "t4"};
    page.summaries = {"", "", "", ""};
    page.snippets = {"s", "s", "s", "s"};
    page.categoryNames = {"Top/A", "", "", ""};
    page.directoryTitles = {"", "", "", "D"};
    m_cache.Store("kelvin", page);
    m_cache.Store("Celsius", page);
    const std::string bytes = writeCacheBytes(m_cache);
    load(bytes);
    EXPECT_TRUE(m_errors.messages.empty());
    ASSERT_EQ(m_loaded.GetCount(), 2);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& a = *m_cache.entries()[i];
        const auto& b = *m_loaded.entries()[i];
        EXPECT_EQ(a.queryWord, b.queryWord);
        EXPECT_EQ(a.estimatedTotal, b.estimatedTotal);
        EXPECT_EQ(a.searchedAt, b.searchedAt);
        EXPECT_EQ(a.urls, b.urls);
        EXPECT_EQ(a.titles, b.titles);
        EXPECT_EQ(a.summaries, b.summaries);
        EXPECT_EQ(a.snippets, b.snippets);
        EXPECT_EQ(a.categoryNames, b.categoryNames);
        EXPECT_EQ(a.directoryTitles, b.directoryTitles);
        EXPECT_EQ(a.reservedList, b.reservedList);
    }
    // The length prefixes of 254 and 255 bytes.
    EXPECT_NE(bytes.find(std::string("\xFE") + std::string(254, 'x')), std::string::npos);
    EXPECT_NE(bytes.find(std::string("\xFF\xFF\x00", 3) + std::string(255, 'y')),
              std::string::npos);
    EXPECT_NE(bytes.find(std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7) + "z"), std::string::npos);
}

TEST_F(CacheFileTest, ShortFiles) {
    load("");
    EXPECT_EQ(m_loaded.GetCount(), 0);
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{kEndOfFile}) << "a zero-length file";

    m_cache.Store("a", SearchResultSet{});
    m_cache.Store("b", SearchResultSet{});
    std::string two = writeCacheBytes(m_cache);
    two[0] = 3;
    load(two);
    EXPECT_EQ(m_loaded.GetCount(), 2);
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{kEndOfFile})
        << "a count that promises too much";
}

TEST_F(CacheFileTest, CutInsideTheFirstEntrysUrls) {
    SearchResultSet page;
    page.urls = {"http://one/", "http://two/", "http://three/"};
    m_cache.Store("w", page);
    const std::string bytes = writeCacheBytes(m_cache);
    const std::size_t cut = bytes.find("http://three/") + 4;
    load(bytes.substr(0, cut), "/tmp/w.glr");
    // Two URLs and no titles are rows that do not line up: the entry is dropped.
    EXPECT_EQ(m_loaded.GetCount(), 0);
    ASSERT_EQ(m_errors.messages.size(), 8U);
    EXPECT_EQ(m_errors.messages[0], kEndOfFile) << "one for the cut list and one for each later";
    EXPECT_EQ(m_errors.messages[6], kEndOfFile);
    EXPECT_EQ(m_errors.messages[7], "/tmp/w.glr has a bad format.");

    // Cut inside the lists of an entry without rows: the lists line up and the entry stays.
    CGoogleResultCacheArray noRows{m_clock};
    noRows.Store("w", SearchResultSet{});
    const std::string empty = writeCacheBytes(noRows);
    load(empty.substr(0, empty.size() - 20));
    ASSERT_EQ(m_loaded.GetCount(), 1);
    EXPECT_EQ(m_errors.messages.size(), 3U);
}

TEST_F(CacheFileTest, AFileCutAtEveryOffsetLoadsWhatItCan) {
    SearchResultSet set;
    set.urls = {"http://a/", std::string(300, 'u')};
    set.titles = {"t1", "t2"};
    set.summaries = set.snippets = set.categoryNames = set.directoryTitles = {"", "x"};
    m_cache.Store("one", set);
    m_cache.Store("two", set);
    const std::string bytes = writeCacheBytes(m_cache);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        load(bytes.substr(0, cut));
        EXPECT_LE(m_loaded.GetCount(), 2) << cut;
        EXPECT_FALSE(m_errors.messages.empty()) << "a cut file reports at " << cut;
    }
    load(bytes);
    EXPECT_EQ(m_loaded.GetCount(), 2);
    EXPECT_TRUE(m_errors.messages.empty());
}

TEST_F(CacheFileTest, IndexesSchemasAndClasses) {
    SearchResultSet oneUrl;
    oneUrl.urls = {"u"};
    oneUrl.titles = oneUrl.summaries = oneUrl.snippets = oneUrl.categoryNames =
        oneUrl.directoryTitles = {""};
    m_cache.Store("w", oneUrl);
    std::string bytes = writeCacheBytes(m_cache);
    const std::size_t urlsIndex = bytes.rfind('u') - 1 - 4;
    bytes[urlsIndex] = 5; // currentIndex 5 of 1 element
    bytes[6] = 2;         // schema 2
    load(bytes);
    ASSERT_EQ(m_loaded.GetCount(), 1);
    EXPECT_TRUE(m_errors.messages.empty());
    EXPECT_EQ(m_loaded.entries()[0]->urls.currentIndex, -1);

    std::string wrongClass =
        std::string("\x01\x00\x00\x00\xFF\xFF\x01\x00\x17\x00", 10) + "CGoogleResultCacheArray";
    load(wrongClass, "/home/u/quorlan.glr");
    EXPECT_EQ(m_loaded.GetCount(), 0);
    EXPECT_EQ(m_errors.messages,
              std::vector<std::string>{"/home/u/quorlan.glr contained an unexpected object."});

    load(std::string("\x01\x00\x00\x00\x01\x80", 6), "f.glr");
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{"f.glr has a bad format."})
        << "a class never read";
    load(std::string("\x01\x00\x00\x00\x02\x00", 6), "f.glr");
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{"f.glr has a bad format."})
        << "an object reference";

    m_cache.Store("second", SearchResultSet{});
    std::string withEnd = writeCacheBytes(m_cache);
    withEnd[0] = 3;
    withEnd += std::string("\x00\x00", 2); // tag 0: no object
    load(withEnd);
    EXPECT_EQ(m_loaded.GetCount(), 0) << "tag 0 discards what was read";
}

TEST_F(CacheFileTest, StringEncodings) {
    // A UTF-16 string (marker FF FE FF) and a 64-bit length that is too large.
    std::string body =
        std::string("\x01\x00\x00\x00\xFF\xFF\x01\x00\x12\x00", 10) + "CGoogleResultCache";
    std::string unicode = body +
                          std::string("\xFF\xFE\xFF\x02"
                                      "h\0i\0",
                                      8) +
                          std::string(16, '\0');
    for (int i = 0; i < 7; ++i) {
        unicode += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8);
    }
    load(unicode);
    ASSERT_EQ(m_loaded.GetCount(), 1);
    EXPECT_EQ(m_loaded.entries()[0]->queryWord, "hi");

    load(body + std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x80\x00\x00\x00\x00", 15));
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{
                                     "An unknown error occurred while accessing an unnamed file."});

    // A length far past the end is an end-of-file error, not an allocation.
    load(body + std::string("\xFF\xFF\xFF\xFE\xFF\xFF\x7F", 7));
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{kEndOfFile});
    // An ANSI text ends at its first zero byte.
    std::string zero = body +
                       std::string("\x03"
                                   "a\0b",
                                   4) +
                       std::string(16, '\0');
    for (int i = 0; i < 7; ++i) {
        zero += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8);
    }
    load(zero);
    ASSERT_EQ(m_loaded.GetCount(), 1);
    EXPECT_EQ(m_loaded.entries()[0]->queryWord, "a");
}

// A failed save keeping the old file is AFailedSaveKeepsTheOldFileAtEveryStep's.
TEST_F(CacheFileTest, ASavedFileLoadsAndMissingFilesOrFoldersAreReported) {
    const std::string path = ::testing::TempDir() + "tarvex_cache_test.glr";
    std::remove(path.c_str());
    EXPECT_FALSE(LoadFromFile(path, m_loaded, m_errors)) << "a missing file";
    m_cache.Store("w", SearchResultSet{});
    ASSERT_TRUE(SaveToFile(path, m_cache));
    ASSERT_TRUE(LoadFromFile(path, m_loaded, m_errors));
    EXPECT_EQ(m_loaded.GetCount(), 1);
    EXPECT_FALSE(SaveToFile("/no/such/folder/x.glr", m_cache)) << "a missing folder";
    std::remove(path.c_str());
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The system's calls, but the `failAt`th call of the kind named by `which` fails as a full disk
// would (a write that writes nothing, a sync or rename that answers -1).
class FailingCalls final : public SaveCalls {
public:
    enum class Which { Write, Sync, Rename };
    FailingCalls(Which which, int failAt) : m_which(which), m_failAt(failAt) {}

    std::int64_t write(int descriptor, const char* data, std::size_t count) override {
        return fails(Which::Write) ? -1 : SaveCalls::write(descriptor, data, count);
    }
    int sync(int descriptor) override {
        return fails(Which::Sync) ? -1 : SaveCalls::sync(descriptor);
    }
    int rename(const char* from, const char* to) override {
        return fails(Which::Rename) ? -1 : SaveCalls::rename(from, to);
    }
    [[nodiscard]] int calls() const { return m_calls; }

private:
    bool fails(Which which) {
        if (which != m_which) {
            return false;
        }
        ++m_calls;
        if (m_calls == m_failAt) {
            errno = ENOSPC;
            return true;
        }
        return false;
    }

    Which m_which;
    int m_failAt;
    int m_calls = 0;
};

// Every step of a save can fail: the write of any buffer, the sync, the rename. Each time the
// old file stays as it was and no temporary file is left behind.
TEST_F(CacheFileTest, AFailedSaveKeepsTheOldFileAtEveryStep) {
    const std::string folder = ::testing::TempDir() + "tarvex_failed_save";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/c.glr";
    m_cache.Store("old", SearchResultSet{});
    ASSERT_TRUE(SaveToFile(path, m_cache));
    const std::string old = fileText(path);
    // A cache that takes several of the save's 1 MiB writes.
    CGoogleResultCacheArray large{m_clock};
    SearchResultSet set;
    for (int i = 0; i < 3000; ++i) {
        set.urls.add(std::string(1000, 'u'));
        set.titles.add("t");
        set.summaries.add("");
        set.snippets.add("s");
        set.categoryNames.add("");
        set.directoryTitles.add("");
    }
    large.Store("new", set);

    FailingCalls counting{FailingCalls::Which::Write, 0};
    ASSERT_TRUE(SaveToFile(folder + "/count.glr", large, counting));
    const int writes = counting.calls();
    ASSERT_GE(writes, 3);
    for (const auto& [which, count] :
         {std::pair{FailingCalls::Which::Write, writes}, std::pair{FailingCalls::Which::Sync, 1},
          std::pair{FailingCalls::Which::Rename, 1}}) {
        for (int failAt = 1; failAt <= count; ++failAt) {
            FailingCalls calls{which, failAt};
            EXPECT_FALSE(SaveToFile(path, large, calls)) << static_cast<int>(which) << failAt;
            EXPECT_EQ(fileText(path), old) << static_cast<int>(which) << " " << failAt;
            std::size_t files = 0;
            for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
                ++files;
            }
            EXPECT_EQ(files, 2U) << "only c.glr and count.glr";
        }
    }
    std::filesystem::remove_all(folder);
}

// A cache of at least `bytes` bytes in the file, with one text longer than a write of the save.
void fillLarge(CGoogleResultCacheArray& cache, std::size_t bytes) {
    // Rows are kept only when all six lists hold as many.
    const auto row = [](SearchResultSet& set, std::string url, std::string title) {
        set.urls.add(std::move(url));
        set.titles.add(std::move(title));
        set.summaries.add("");
        set.snippets.add("s");
        set.categoryNames.add("c");
        set.directoryTitles.add("");
    };
    SearchResultSet first;
    row(first, std::string((std::size_t{2} << 20) + 3, 'u'), "t");
    cache.Store("first", first);
    std::size_t texts = first.urls[0].size();
    for (int word = 0; texts < bytes; ++word) {
        SearchResultSet set;
        for (int i = 0; i < 100; ++i) {
            std::string url = "http://www.example.org/" + std::to_string(word) + "/" +
                              std::to_string(i) + ".html";
            std::string title(static_cast<std::size_t>(word + i) % 300, 't');
            texts += url.size() + title.size();
            row(set, std::move(url), std::move(title));
        }
        cache.Store("word " + std::to_string(word), set);
    }
}

class SaveFolderTest : public CacheFileTest {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "tarvex_cache_save_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& each : std::filesystem::directory_iterator(m_folder)) {
            found.push_back(each.path().filename().string());
        }
        return found;
    }

    std::filesystem::path m_folder;
};

TEST_F(SaveFolderTest, ASaveWrittenInPiecesHoldsTheBytesOfTheCache) {
    fillLarge(m_cache, std::size_t{5} << 20);
    const std::string path = (m_folder / "big.glr").string();
    ASSERT_TRUE(SaveToFile(path, m_cache));
    EXPECT_TRUE(fileText(path) == writeCacheBytes(m_cache)) << "the file differs";
    ASSERT_TRUE(LoadFromFile(path, m_loaded, m_errors));
    EXPECT_EQ(m_loaded.GetCount(), m_cache.GetCount());
    EXPECT_TRUE(m_errors.messages.empty());
}

// The disk fills up in the middle of the save: the last good file stays, and nothing else.
TEST_F(SaveFolderTest, ASaveTheDiskStopsMidwayKeepsTheOldFile) {
    const std::string path = (m_folder / "kept.glr").string();
    m_cache.Store("old", SearchResultSet{});
    ASSERT_TRUE(SaveToFile(path, m_cache));
    const std::string old = fileText(path);

    CGoogleResultCacheArray large{m_clock};
    fillLarge(large, std::size_t{3} << 20);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = std::size_t{1} << 20;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveToFile(path, large);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(fileText(path) == old) << "the old file was touched";
    EXPECT_EQ(names(), std::vector<std::string>{"kept.glr"}) << "a temporary file was left";
}

// Each string of the file is built where it stays: one block per entry, per list that holds
// anything and per text too long to sit inside its string, and a few for the cache's array.
TEST_F(CacheFileTest, LoadingAllocatesOnlyWhatTheCacheKeeps) {
    constexpr int kEntries = 200;
    for (int word = 0; word < kEntries; ++word) {
        SearchResultSet set;
        for (int i = 0; i < 3; ++i) {
            set.urls.add("http://www.example.org/long/" + std::to_string(i) + ".html");
            set.titles.add("t" + std::to_string(i));
            set.summaries.add("");
            set.snippets.add("a snippet long enough for a block of its own " + std::to_string(i));
            set.categoryNames.add("Top/Science");
            set.directoryTitles.add("");
        }
        m_cache.Store("w" + std::to_string(word), set);
    }
    const std::string bytes = writeCacheBytes(m_cache);
    // The entry and where each list's texts end; the texts of all lists lie in the load's
    // arena: itself and its list of slabs (the slab is taken from malloc, not counted here).
    constexpr std::size_t kKept = kEntries * (1 + 6);
    constexpr std::size_t kCacheArray = 10 + 1 + 2; // its growth, log2(200) + 2; one scratch text
    gAllocations = 0;
    gCountAllocations = true;
    readCacheBytes(bytes, "x.glr", m_loaded, m_errors);
    gCountAllocations = false;
    ASSERT_EQ(m_loaded.GetCount(), kEntries);
    EXPECT_GE(gAllocations.load(), kKept);
    EXPECT_LE(gAllocations.load(), kKept + kCacheArray);
}

} // namespace
} // namespace tarvex::cache
