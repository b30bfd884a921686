// The real window as a process: a request to end at any moment of its start closes it with
// status 0 and its cache saved, whatever its start-up files hold.
#include "cache/cache_file.h"
#include "support/cache_fakes.h"
#include "support/child_process.h"
#include "support/test_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class NoErrors final : public cache::CacheFileErrors {
public:
    void report(const std::string& message) override { ADD_FAILURE() << message; }
};

class WindowProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_settings = m_root / "config" / "Brenmoor Technologies" / "dunsk.conf";
        m_defaultCache = m_root / "data" / "Brenmoor Technologies" / "dunsk" / "quorlan.glr";
        fs::create_directories(m_settings.parent_path());
        fs::create_directories(m_defaultCache.parent_path());
    }
    // A good cache of `count` words in the default file.
    void writeDefaultCache(int count) const {
        cache::CGoogleResultCacheArray words{m_clock};
        cache::SearchResultSet page;
        page.urls = {"http://r/1"};
        page.titles = page.summaries = page.snippets = page.categoryNames =
            page.directoryTitles = {""};
        for (int i = 0; i < count; ++i) {
            words.Store("w" + std::to_string(i), page);
        }
        ASSERT_TRUE(cache::SaveToFile(m_defaultCache.string(), words));
    }
    [[nodiscard]] int defaultCacheWords() const {
        cache::CGoogleResultCacheArray words{m_clock};
        NoErrors errors;
        return cache::LoadFromFile(m_defaultCache.string(), words, errors) ? words.GetCount() : -1;
    }
    void writeSettings(const std::string& text) const { std::ofstream(m_settings) << text; }

    // The window started, asked to end `delay` after it took the request into its own hands (its
    // first step); its exit code.
    std::optional<int> runAndTerminate(std::chrono::milliseconds delay) const {
        ChildProcess window{TARVEX_WINDOW_BINARY,
                            {},
                            environmentWith({{"HOME", m_root.string()},
                                             {"XDG_CONFIG_HOME", (m_root / "config").string()},
                                             {"XDG_DATA_HOME", (m_root / "data").string()},
                                             {"QT_QPA_PLATFORM", "offscreen"},
                                             {"ASAN_OPTIONS", "detect_leaks=0"}})};
        EXPECT_TRUE(window.started());
        EXPECT_TRUE(waitFor(30s, [&window] { return window.catches(SIGTERM); }))
            << "still unhandled after 30 s";
        std::this_thread::sleep_for(delay);
        window.signal(SIGTERM);
        const std::optional<int> code = window.waitExit(60s);
        EXPECT_TRUE(window.errorOutput().find("ERROR") == std::string::npos)
            << window.errorOutput();
        return code;
    }

    FixedClock m_clock;
    TestFolder m_folder{"window_process"};
    fs::path m_root = m_folder.path();
    fs::path m_settings;
    fs::path m_defaultCache;
};

TEST_F(WindowProcessTest, ARequestToEndAtAnyMomentOfTheStartClosesTheWindowAndKeepsTheCache) {
    // A history count of 2^31-1 hung the start for minutes; a request then ended the process
    // with 143 and the cache unsaved, as one in the first moments of any start did.
    writeDefaultCache(3);
    writeSettings("[Settings]\nCache%20Path=" + m_defaultCache.string() +
                  "\n[Search%20Words]\nCount=2147483647\n1=alpha\n2=beta\n");
    for (const auto delay : {0ms, 2ms, 10ms, 30ms, 100ms, 300ms}) {
        EXPECT_EQ(runAndTerminate(delay), 0) << "after " << delay.count() << " ms";
        EXPECT_EQ(defaultCacheWords(), 3) << "after " << delay.count() << " ms";
    }
}

TEST_F(WindowProcessTest, ARunThatCouldNotLoadItsCacheDoesNotEmptyTheDefaultFile) {
    // The run before left "Cache Path" naming a file that is not there: this run clears it, and
    // its close saved its empty cache over the good default file.
    writeDefaultCache(3);
    writeSettings("[Settings]\nCache%20Path=" + (m_root / "gone" / "quorlan.glr").string() + "\n");
    EXPECT_EQ(runAndTerminate(500ms), 0);
    EXPECT_EQ(defaultCacheWords(), 3);
}

// Start-up files made to hurt: each start must come up (and so take the request to end), close
// with status 0 and leave the good default cache as it was.
struct HostileStart {
    const char* name;
    // Makes the files, given the settings file and a free path beside it.
    std::function<void(const fs::path& settings, const fs::path& spare)> make;
};

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string withCachePath(const fs::path& cache) {
    return "[Settings]\nCache%20Path=" + cache.string() + "\n";
}

const HostileStart kHostileStarts[] = {
    {"TenThousandWords",
     [](const fs::path& settings, const fs::path&) {
         std::string text = "[Search%20Words]\nCount=10000\n";
         for (int i = 1; i <= 10000; ++i) {
             text += std::to_string(i) + "=word" + std::to_string(i) + "\n";
         }
         writeText(settings, text);
     }},
    {"ACountOf2To31Minus1",
     [](const fs::path& settings, const fs::path&) {
         writeText(settings, "[Search%20Words]\nCount=2147483647\n1=a\n");
     }},
    {"ASparseCacheOf2GiB",
     [](const fs::path& settings, const fs::path& spare) {
         writeText(spare, "");
         fs::resize_file(spare, std::uintmax_t{2} << 30);
         writeText(settings, withCachePath(spare));
     }},
    {"ACacheThatIsDevZero",
     [](const fs::path& settings, const fs::path&) {
         writeText(settings, withCachePath("/dev/zero"));
     }},
    {"ACacheThatIsAFifo",
     [](const fs::path& settings, const fs::path& spare) {
         ASSERT_EQ(::mkfifo(spare.c_str(), 0600), 0);
         writeText(settings, withCachePath(spare));
     }},
    {"ACacheThatIsAFolder",
     [](const fs::path& settings, const fs::path& spare) {
         fs::create_directories(spare);
         writeText(settings, withCachePath(spare));
     }},
    {"AnUnreadableCache",
     [](const fs::path& settings, const fs::path& spare) {
         writeText(spare, "\x01\x00\x00\x00");
         fs::permissions(spare, fs::perms::none);
         writeText(settings, withCachePath(spare));
     }},
    {"ACacheThatIsASymlinkLoop",
     [](const fs::path& settings, const fs::path& spare) {
         fs::create_symlink(spare, spare);
         writeText(settings, withCachePath(spare));
     }},
    {"MegabyteValues",
     [](const fs::path& settings, const fs::path&) {
         const std::string big(16U << 20, 'k');
         writeText(settings, "[Settings]\nLicense%20Key=" + big + "\nCache%20Path=" + big +
                                 "\n[Search%20Words]\nCount=1\n1=" + big + "\n");
     }},
    {"WrongTypes",
     [](const fs::path& settings, const fs::path&) {
         writeText(settings, "[Settings]\nMaximum%20Results=many\nCache%20Life%20Time=-7\n"
                             "Spread%20Sheet%20Mode=@Variant(\\0\\0\\0\\x7f)\n"
                             "[Search%20Words]\nCount=-3\n");
     }},
    {"SettingsThatAreAFifo",
     [](const fs::path& settings, const fs::path&) {
         ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
     }},
    {"SettingsThatAreAFolder",
     [](const fs::path& settings, const fs::path&) { fs::create_directories(settings); }},
    {"SettingsThatAreASymlinkLoop",
     [](const fs::path& settings, const fs::path&) { fs::create_symlink(settings, settings); }},
    {"SettingsThatAreDevZero",
     [](const fs::path& settings, const fs::path&) { fs::create_symlink("/dev/zero", settings); }},
};

class HostileStartTest : public WindowProcessTest,
                         public ::testing::WithParamInterface<HostileStart> {};

TEST_P(HostileStartTest, TheWindowComesUpAndClosesKeepingTheCache) {
    writeDefaultCache(3);
    GetParam().make(m_settings, m_root / "spare");
    EXPECT_EQ(runAndTerminate(300ms), 0);
    EXPECT_GE(defaultCacheWords(), 3);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileStartTest, ::testing::ValuesIn(kHostileStarts),
                         [](const ::testing::TestParamInfo<HostileStart>& start) {
                             return std::string{start.param.name};
                         });

} // namespace
} // namespace tarvex::test
