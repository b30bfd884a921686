// The system-wide settings fallback that the package installs, as Qt reads it from
// $XDG_CONFIG_DIRS: with no TARVEX_ENDPOINT and no setting of the user's own, the real tool
// searches the local service the fallback names; a setting of the user's own still wins.
#include "support/child_process.h"
#include "support/service_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kService = TARVEX_SERVICE_BINARY;
const std::string kTool = TARVEX_TOOL_BINARY;
const std::string kCorpus = TARVEX_BUNDLED_CORPUS;
// The template the package's fallback is made from, its port left to fill in.
const std::string kFallbackTemplate = TARVEX_SETTINGS_FALLBACK;
constexpr std::string_view kPortPlaceholder = "@TARVEX_SERVICE_PORT@";
const std::string kPost = "\"POST /search/beta2\" 200";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string portOf(const std::string& endpoint) {
    const auto colon = endpoint.rfind(':');
    return endpoint.substr(colon + 1, endpoint.find('/', colon) - colon - 1);
}

bool foundResults(const std::string& output) {
    const auto json = nlohmann::json::parse(output, nullptr, false);
    return !json.is_discarded() && json.contains("urls") && !json.at("urls").empty();
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

TEST(SettingsFallback, TheToolSearchesTheServiceTheSystemWideFileNames) {
    const fs::path root =
        fs::path{testing::TempDir()} / ("settings_fallback_" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "home");
    const ServiceProcess named{kService, {"--no-config", "--corpus", kCorpus}};
    ASSERT_FALSE(named.endpoint().empty()) << named.errorOutput();
    const std::string port = portOf(named.endpoint());

    std::string fallback = readAll(kFallbackTemplate);
    const auto placeholder = fallback.find(kPortPlaceholder);
    ASSERT_NE(placeholder, std::string::npos) << fallback;
    fallback.replace(placeholder, kPortPlaceholder.size(), port);
    const fs::path folder = root / "xdg" / "Brenmoor Technologies";
    fs::create_directories(folder);
    std::ofstream{folder / "dunsk.conf", std::ios::binary} << fallback;

    const auto environment = environmentWith({{"XDG_CONFIG_DIRS", (root / "xdg").string()},
                                              {"XDG_CONFIG_HOME", (root / "home").string()},
                                              {"XDG_DATA_HOME", (root / "data").string()},
                                              {"TARVEX_ENDPOINT", std::nullopt}});
    const std::vector<std::string> search{"search",     "--key",  "k",
                                          "--no-cache", "--json", "computing"};
    {
        ChildProcess tool{kTool, search, environment};
        ASSERT_EQ(tool.waitExit(60s), 0) << tool.errorOutput() << tool.output();
        EXPECT_TRUE(foundResults(tool.output())) << tool.output();
    }
    const std::size_t answered = count(named.errorOutput(), kPost);
    EXPECT_GE(answered, 1U) << named.errorOutput();

    // The user's own "Service Endpoint" wins over the fallback.
    const ServiceProcess own{kService, {"--no-config", "--corpus", kCorpus}};
    ASSERT_FALSE(own.endpoint().empty()) << own.errorOutput();
    std::ofstream{root / "home" / "Brenmoor Technologies" / "dunsk.conf", std::ios::binary}
        << "[Settings]\nService%20Endpoint=" << own.endpoint() << "\n";
    {
        ChildProcess tool{kTool, search, environment};
        ASSERT_EQ(tool.waitExit(60s), 0) << tool.errorOutput() << tool.output();
        EXPECT_TRUE(foundResults(tool.output())) << tool.output();
        EXPECT_GE(count(own.errorOutput(), kPost), 1U) << own.errorOutput();
        EXPECT_EQ(count(named.errorOutput(), kPost), answered) << named.errorOutput();
    }
    fs::remove_all(root);
}

} // namespace
} // namespace tarvex::test
