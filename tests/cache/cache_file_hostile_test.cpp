// Cache files made to hurt the reader: lists of different lengths, counts far past the end,
// folders and pipes where a file should be, and the copy kept of a damaged file.
#include "cache/cache_file.h"
#include "support/cache_fakes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarvex::cache {
namespace {

using test::CollectedErrors;
using test::FixedClock;

const std::string kEndOfFile = "An attempt was made to access an unnamed file past its end.";

// The file's first entry up to its lists, for the word "w".
std::string headOfOneEntry() {
    return std::string("\x01\x00\x00\x00\xFF\xFF\x01\x00\x12\x00", 10) + "CGoogleResultCache" +
           std::string("\x01w", 2) + std::string(16, '\0');
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class HostileCacheFileTest : public ::testing::Test {
protected:
    void load(const std::string& bytes, const std::string& name = "/tmp/x.glr") {
        m_errors.messages.clear();
        readCacheBytes(bytes, name, m_loaded, m_errors);
    }

    [[nodiscard]] std::size_t loadedMemory() const {
        std::size_t total = 0;
        for (const auto& entry : m_loaded.entries()) {
            total += entryMemory(*entry);
        }
        return total;
    }

    // A fresh folder of this test's own.
    [[nodiscard]] std::string folder() {
        const std::string path = ::testing::TempDir() + "tarvex_hostile_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        return path;
    }

    FixedClock m_clock;
    CGoogleResultCacheArray m_cache{m_clock};
    CGoogleResultCacheArray m_loaded{m_clock};
    CollectedErrors m_errors;
};

SearchResultSet rows(std::size_t count) {
    SearchResultSet page;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        page.urls.add("http://r/" + n);
        page.titles.add("T" + n);
        page.summaries.add("");
        page.snippets.add("s" + n);
        page.categoryNames.add("");
        page.directoryTitles.add("");
    }
    return page;
}

// Parallel lists

TEST_F(HostileCacheFileTest, AnEntryWhoseListsDifferIsDroppedAndTheNextOneRead) {
    // tarvex search crashed: rows were read by index from every list of such an entry.
    CSerStringArray SearchResultSet::*const lists[] = {
        &SearchResultSet::urls,          &SearchResultSet::titles,
        &SearchResultSet::summaries,     &SearchResultSet::snippets,
        &SearchResultSet::categoryNames, &SearchResultSet::directoryTitles};
    for (CSerStringArray SearchResultSet::*const longer : lists) {
        CGoogleResultCacheArray cache{m_clock};
        SearchResultSet bad = rows(3);
        (bad.*longer).add("one more");
        cache.Store("one", rows(2));
        cache.Store("bad", bad);
        cache.Store("three", rows(1));
        load(writeCacheBytes(cache), "/home/u/quorlan.glr");
        ASSERT_EQ(m_loaded.GetCount(), 2);
        EXPECT_EQ(m_loaded.GetWordAt(0), "one");
        EXPECT_EQ(m_loaded.GetWordAt(1), "three");
        EXPECT_EQ(m_errors.messages,
                  std::vector<std::string>{"/home/u/quorlan.glr has a bad format."});
    }
}

TEST_F(HostileCacheFileTest, TheReservedListNeedNotMatchTheRows) {
    m_cache.Store("w", rows(2));
    std::string bytes = writeCacheBytes(m_cache);
    // The last list (reservedList, count 0) becomes one string "x".
    bytes.replace(bytes.size() - 8, 8, std::string("\x01\x00\x00\x00\xFF\xFF\xFF\xFF\x01x", 10));
    load(bytes);
    ASSERT_EQ(m_loaded.GetCount(), 1);
    EXPECT_TRUE(m_errors.messages.empty());
    EXPECT_EQ(m_loaded.entries()[0]->reservedList, (CSerStringArray{"x"}));
}

TEST_F(HostileCacheFileTest, EveryLoadedEntryHasParallelListsWhereverTheFileIsCut) {
    SearchResultSet page = rows(3);
    m_cache.Store("one", page);
    m_cache.Store("two", page);
    const std::string bytes = writeCacheBytes(m_cache);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        load(bytes.substr(0, cut));
        for (const auto& entry : m_loaded.entries()) {
            EXPECT_TRUE(hasParallelLists(*entry)) << "cut at " << cut;
        }
    }
}

TEST(SerStringArrayBoundsTest, ReadingPastTheEndThrowsInsteadOfReadingMemory) {
    const CSerStringArray list{"a", "b"};
    EXPECT_EQ(list[1], "b");
    EXPECT_THROW((void)list[2], std::out_of_range);
    EXPECT_EQ(list.GetAtOrEmpty(2), "");
}

TEST_F(HostileCacheFileTest, AUtf16TextEndsAtItsFirstZeroAsAnAnsiTextDoes) {
    // Found by the fuzz target: "h\0" read from UTF-16 was written back and read as "h".
    std::string bytes = std::string("\x01\x00\x00\x00\xFF\xFF\x01\x00\x12\x00", 10) +
                        "CGoogleResultCache" + std::string("\xFF\xFE\xFF\x03h\0\0\0i\0", 10) +
                        std::string(16, '\0');
    for (int i = 0; i < 7; ++i) {
        bytes += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8);
    }
    load(bytes);
    ASSERT_EQ(m_loaded.GetCount(), 1);
    EXPECT_EQ(m_loaded.entries()[0]->queryWord, "h");
    EXPECT_TRUE(m_errors.messages.empty());
}

// Counts and memory

TEST_F(HostileCacheFileTest, ACountPastTheEndIsAnEndOfFileErrorWithoutTheStrings) {
    // 0xFFFFFFFF strings announced, 2 MB of zero bytes (empty strings) follow: once 2 million
    // empty strings, 64 MB for a 2 MB file.
    const std::string bytes = headOfOneEntry() +
                              std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8) +
                              std::string(std::size_t{2} << 20, '\0');
    load(bytes);
    ASSERT_EQ(m_loaded.GetCount(), 1) << "every list is empty: the lists still line up";
    EXPECT_EQ(m_loaded.entries()[0]->urls.size(), 0U);
    EXPECT_EQ(m_errors.messages, std::vector<std::string>(7, kEndOfFile))
        << "the cut list and each later one";
    EXPECT_LE(loadedMemory(), loadMemoryBudget(bytes.size()));
}

// Empty strings took 32 times their byte in the file, one std::string each, so such an entry
// ran over the budget; a list's texts now lie in one block and an empty one takes 4 bytes.
TEST_F(HostileCacheFileTest, MemoryStaysWithinItsBudgetForHonestCountsOfEmptyStrings) {
    constexpr std::uint32_t kStrings = 500'000;
    std::string bytes = headOfOneEntry();
    for (int list = 0; list < 6; ++list) {
        bytes.append(reinterpret_cast<const char*>(&kStrings), 4).append("\xFF\xFF\xFF\xFF");
        bytes.append(kStrings, '\0');
    }
    bytes.append(std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8));
    load(bytes);
    EXPECT_LE(loadedMemory(), loadMemoryBudget(bytes.size()));
    EXPECT_LE(loadedMemory(), 6 * bytes.size());
    ASSERT_EQ(m_loaded.GetCount(), 1);
    EXPECT_EQ(m_loaded.entries()[0]->snippets.size(), kStrings);
    EXPECT_EQ(m_loaded.entries()[0]->snippets[kStrings - 1], "");
    EXPECT_TRUE(m_errors.messages.empty());
}

TEST_F(HostileCacheFileTest, AnOrdinaryLargeCacheIsFarFromTheBudget) {
    // Pages as the service sends them: address, title and snippet; often no summary or category.
    SearchResultSet page;
    for (int i = 0; i < 30; ++i) {
        const std::string n = std::to_string(i);
        page.urls.add("http://www.example.org/articles/" + n + ".html");
        page.titles.add("An article about <b>words</b>, part " + n);
        page.summaries.add("");
        page.snippets.add("The <b>word</b> and its uses in sentences of every kind, with the "
                          "examples ...<br> and more " +
                          n);
        page.categoryNames.add("");
        page.directoryTitles.add("");
    }
    for (int i = 0; i < 300; ++i) {
        m_cache.Store("word " + std::to_string(i), page);
    }
    const std::string bytes = writeCacheBytes(m_cache);
    load(bytes);
    EXPECT_TRUE(m_errors.messages.empty());
    EXPECT_EQ(m_loaded.GetCount(), 300);
    EXPECT_LE(loadedMemory(), kLoadMemoryPerFileByte / 4 * bytes.size())
        << "the budget leaves room for caches of shorter texts";
}

// What is no cache file

TEST_F(HostileCacheFileTest, AFolderOrAPipeIsAFileThatCannotBeRead) {
    // A folder aborted the program on an uncaught std::ios_base::failure.
    const std::string dir = folder();
    m_cache.Store("w", SearchResultSet{});
    m_loaded.Store("kept", SearchResultSet{});
    EXPECT_FALSE(LoadFromFile(dir, m_loaded, m_errors));
    EXPECT_FALSE(LoadFromFile("/", m_loaded, m_errors));
    // A FIFO without a writer: no wait, no read.
    const std::string fifo = dir + "/fifo.glr";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadFromFile(fifo, m_loaded, m_errors));
    EXPECT_TRUE(m_errors.messages.empty());
    ASSERT_EQ(m_loaded.GetCount(), 1) << "nothing changes";
    EXPECT_EQ(m_loaded.GetWordAt(0), "kept");
    std::filesystem::remove_all(dir);
}

// Keeping a damaged file

TEST_F(HostileCacheFileTest, AFileLargerThanAnyCacheIsRefusedUnread) {
    // A 2 GiB sparse file took 13 s and its whole size in memory before the window appeared.
    const std::string path = ::testing::TempDir() + "tarvex_oversized_" + std::to_string(getpid());
    { std::ofstream file{path, std::ios::binary}; }
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxCacheFileBytes) + 1), 0);
    m_loaded.Store("before", SearchResultSet{});
    EXPECT_TRUE(LoadFromFile(path, m_loaded, m_errors)) << "read, with an error";
    EXPECT_EQ(m_loaded.GetCount(), 0);
    EXPECT_EQ(m_errors.messages, std::vector<std::string>{
                                     "An unknown error occurred while accessing an unnamed file."});
    std::remove(path.c_str());
}

TEST_F(HostileCacheFileTest, ADamagedFileIsKeptUnderTheFirstFreeName) {
    const std::string dir = folder();
    const std::string file = dir + "/quorlan.glr";
    writeFile(file, "first");
    KeptCopy kept = keepDamagedFile(file);
    ASSERT_EQ(kept.status, KeptCopy::Status::Kept);
    EXPECT_EQ(kept.path, file + ".damaged");
    EXPECT_EQ(fileBytes(kept.path), "first");

    writeFile(file + ".damaged.1", "an earlier copy");
    writeFile(file + ".tmp", "second");
    std::filesystem::rename(file + ".tmp", file);
    kept = keepDamagedFile(file);
    ASSERT_EQ(kept.status, KeptCopy::Status::Kept);
    EXPECT_EQ(kept.path, file + ".damaged.2");
    EXPECT_EQ(fileBytes(kept.path), "second");
    EXPECT_EQ(fileBytes(file + ".damaged"), "first") << "never overwritten";
    EXPECT_EQ(fileBytes(file + ".damaged.1"), "an earlier copy") << "never overwritten";

    // The save replaces the file's name; the kept copy keeps the old bytes.
    m_cache.Store("w", SearchResultSet{});
    ASSERT_TRUE(SaveToFile(file, m_cache));
    EXPECT_EQ(fileBytes(file + ".damaged.2"), "second");

    EXPECT_EQ(keepDamagedFile(dir + "/none.glr").status, KeptCopy::Status::NoFile);
    std::filesystem::remove_all(dir);
}

TEST_F(HostileCacheFileTest, NoCopyIsKeptWhenEveryNameIsTaken) {
    const std::string dir = folder();
    const std::string file = dir + "/quorlan.glr";
    writeFile(file, "damaged");
    writeFile(file + ".damaged", "");
    for (int n = 1; n < kMaxDamagedCopies; ++n) {
        writeFile(file + ".damaged." + std::to_string(n), "");
    }
    EXPECT_EQ(keepDamagedFile(file).status, KeptCopy::Status::Failed);
    EXPECT_EQ(fileBytes(file + ".damaged"), "");
    std::filesystem::remove_all(dir);
}

// Regression: a cache path naming /dev/zero, run as root, had the device linked as a damaged
// copy and then replaced by the saved cache (and a settings file linked to it wrote there next).
TEST_F(HostileCacheFileTest, NoSaveOrCopyTakesThePlaceOfAPipeOrADevice) {
    const std::string dir = folder();
    const std::string fifo = dir + "/fifo.glr";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string linked = dir + "/linked.glr";
    std::filesystem::create_symlink(fifo, linked);
    m_cache.Store("w", SearchResultSet{});
    for (const std::string& path : {fifo, linked}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(keepDamagedFile(path).status, KeptCopy::Status::Failed);
        EXPECT_FALSE(SaveToFile(path, m_cache));
        EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    }
    EXPECT_FALSE(std::filesystem::exists(fifo + ".damaged"));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace tarvex::cache
