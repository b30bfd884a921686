#pragma once

// The retired service's real messages live beside the repository, in
// TARVEX_SHARED_DIR/interop/historic (each test target defines the folder), and stay out of it: a
// test that reads them skips, saying why, where the folder is absent.
#include <filesystem>
#include <string>

namespace tarvex::test {

[[nodiscard]] inline std::string historicFile(const std::string& name) {
    return std::string{TARVEX_SHARED_DIR} + "/interop/historic/" + name;
}

[[nodiscard]] inline bool historicFilesPresent() {
    return std::filesystem::is_directory(std::string{TARVEX_SHARED_DIR} + "/interop/historic");
}

} // namespace tarvex::test

// NOLINTNEXTLINE(cppcoreguidelines-macro-usage): GTEST_SKIP must return from the test itself.
#define SKIP_WITHOUT_HISTORIC_FILES()                                                              \
    if (!::tarvex::test::historicFilesPresent())                                                   \
    GTEST_SKIP() << TARVEX_SHARED_DIR "/interop/historic is absent (the retired service's "        \
                                      "messages stay out of the repository)"
