// A settings file far larger than the program writes is trimmed to the lines that could be its
// own before it is read, and kept whole beside it.
#include "shell/oversized_settings.h"
#include "support/test_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::shell {
namespace {

namespace fs = std::filesystem;
using Outcome = SettingsTrim::Outcome;

class OversizedSettingsTest : public ::testing::Test {
protected:
    void write(const std::string& text) const { std::ofstream(m_file, std::ios::binary) << text; }
    [[nodiscard]] static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    [[nodiscard]] std::size_t filesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator{m_folder}, {}));
    }

    test::TestFolder m_test{"oversized_settings"};
    fs::path m_folder = m_test.path();
    std::string m_file = m_test.file("dunsk.conf");
};

TEST_F(OversizedSettingsTest, KeepsTheShortLinesAndSetsTheWholeFileAsideWithoutReplacingOne) {
    const std::string first =
        "[Settings]\nLicense%20Key=abc\nCache%20Path=" + std::string(3U << 20, 'k') +
        "\n[Search%20Words]\nCount=1\n1=alpha";
    write(first);
    const SettingsTrim trim = trimOversizedSettings(m_file);
    EXPECT_EQ(trim.outcome, Outcome::Trimmed);
    EXPECT_NE(trim.message.find(m_file + ".oversized"), std::string::npos) << trim.message;
    EXPECT_EQ(read(m_file), "[Settings]\nLicense%20Key=abc\n[Search%20Words]\nCount=1\n1=alpha\n");
    EXPECT_TRUE(read(m_file + ".oversized") == first);
    struct stat info {};
    ASSERT_EQ(::stat(m_file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);

    // A line of the longest length is kept, one a byte longer is not.
    const std::string longest = "x=" + std::string(kMaxSettingsLineBytes - 2, 'v') + "\n";
    const std::string second = "[Settings]\n" + longest +
                               "y=" + std::string(kMaxSettingsLineBytes - 1, 'v') + "\n" +
                               std::string(3U << 20, 'z') + "\nlast=1\n";
    write(second);
    EXPECT_EQ(trimOversizedSettings(m_file).outcome, Outcome::Trimmed);
    EXPECT_TRUE(read(m_file + ".oversized") == first);
    EXPECT_TRUE(read(m_file + ".oversized.1") == second);
    EXPECT_TRUE(read(m_file) == "[Settings]\n" + longest + "last=1\n");
}

TEST_F(OversizedSettingsTest, AFileOfManyShortLinesKeepsItsFirstLinesUpToTheBound) {
    std::string text = "[Other]\n";
    for (int i = 0; text.size() <= kMaxSettingsFileBytes * 2; ++i) {
        text += "k" + std::to_string(i) + "=v\n";
    }
    write(text);
    EXPECT_EQ(trimOversizedSettings(m_file).outcome, Outcome::Trimmed);
    const std::string kept = read(m_file);
    EXPECT_LE(kept.size(), kMaxSettingsFileBytes);
    EXPECT_GT(kept.size(), kMaxSettingsFileBytes - 16);
    EXPECT_EQ(text.compare(0, kept.size(), kept), 0);
    EXPECT_EQ(kept.back(), '\n');
}

TEST_F(OversizedSettingsTest, ASparseFileWithoutLinesIsLookedThroughOnlyInPart) {
    write("");
    fs::resize_file(m_file, std::uintmax_t{8} << 30);
    EXPECT_EQ(trimOversizedSettings(m_file).outcome, Outcome::Trimmed);
    EXPECT_EQ(fs::file_size(m_file), 0U);
    EXPECT_EQ(fs::file_size(m_file + ".oversized"), std::uintmax_t{8} << 30);
}

TEST_F(OversizedSettingsTest, FilesWithinTheBoundAndOtherKindsAreLeftAlone) {
    const std::string full(kMaxSettingsFileBytes, 'x');
    write(full);
    EXPECT_EQ(trimOversizedSettings(m_file).outcome, Outcome::Untouched);
    EXPECT_TRUE(read(m_file) == full);

    fs::remove(m_file);
    EXPECT_EQ(trimOversizedSettings(m_file).outcome, Outcome::Untouched);
    ASSERT_EQ(::mkfifo(m_file.c_str(), 0600), 0);
    EXPECT_EQ(trimOversizedSettings(m_file).outcome, Outcome::Untouched);
    fs::remove(m_file);
    fs::create_directory(m_file);
    EXPECT_EQ(trimOversizedSettings(m_file).outcome, Outcome::Untouched);
    EXPECT_EQ(filesInFolder(), 1U);
}

} // namespace
} // namespace tarvex::shell
