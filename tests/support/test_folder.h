#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace tarvex::test {

// A fresh folder of the running test's own under the test temporary folder, named by `prefix`,
// this process and the test; removed with everything in it when the object goes.
class TestFolder {
public:
    explicit TestFolder(std::string_view prefix)
        : m_path(std::filesystem::path{::testing::TempDir()} /
                 (std::string{prefix} + "_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    // A path in the folder, as text.
    [[nodiscard]] std::string file(std::string_view name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace tarvex::test
