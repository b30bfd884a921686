// The service's configuration files: which files are read, files and arguments over each other,
// every line a file may not hold (told with its line number), and relative paths.
#include "service/service_config.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tarvex::search {
namespace {

namespace fs = std::filesystem;

class ServiceConfigTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = fs::path{testing::TempDir()} / ("service_config_" + std::to_string(getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }

    // Writes `text` to ROOT/FOLDER/tarvex/service.conf and returns that path.
    std::string writeConfig(const std::string& folder, const std::string& text) const {
        const fs::path file = m_root / folder / kServiceConfigPath;
        fs::create_directories(file.parent_path());
        std::ofstream{file, std::ios::binary} << text;
        return file.string();
    }
    [[nodiscard]] std::string at(const std::string& relative) const {
        return (m_root / relative).string();
    }

    fs::path m_root;
};

// What main does: the files in order, then the arguments over them.
std::optional<CommandLine> configure(const std::vector<std::string>& words,
                                     const ConfigPlaces& places, std::string& error) {
    const auto asked = readCommandLine(words, CommandLine{}, error);
    if (!asked) {
        return std::nullopt;
    }
    CommandLine configured;
    for (const std::string& file : configFiles(*asked, places)) {
        if (!applyConfigFile(configured, file, error)) {
            return std::nullopt;
        }
    }
    auto line = readCommandLine(words, configured, error);
    if (!line || !checkCommandLine(*line, error)) {
        return std::nullopt;
    }
    return line;
}

TEST_F(ServiceConfigTest, TheFirstSystemFolderHoldingTheFileThenTheUsersFile) {
    const std::string first = writeConfig("sys1", "quota = 1\n");
    writeConfig("sys2", "quota = 2\n");
    const std::string user = writeConfig("user", "quota = 3\n");
    // A relative folder is ignored, as is one without the file.
    const ConfigPlaces places{"relative:" + at("empty") + ":" + at("sys1") + ":" + at("sys2"),
                              at("user"), at("home")};
    EXPECT_EQ(configFiles(CommandLine{}, places), (std::vector<std::string>{first, user}));

    // Without XDG_CONFIG_HOME the user's file is in ~/.config; without either file, none.
    const std::string home = writeConfig("home/.config", "quota = 4\n");
    EXPECT_EQ(configFiles(CommandLine{}, ConfigPlaces{at("empty"), "", at("home")}),
              std::vector<std::string>{home});
    EXPECT_TRUE(configFiles(CommandLine{}, ConfigPlaces{at("empty"), at("empty"), ""}).empty());
    // Without XDG_CONFIG_DIRS the system's file is in /etc/xdg.
    const std::string system = "/etc/xdg/tarvex/service.conf";
    EXPECT_EQ(configFiles(CommandLine{}, ConfigPlaces{"", at("empty"), ""}),
              fs::exists(system) ? std::vector<std::string>{system} : std::vector<std::string>{});

    CommandLine named;
    named.configFile = at("elsewhere.conf");
    EXPECT_EQ(configFiles(named, places), std::vector<std::string>{at("elsewhere.conf")});
    CommandLine none;
    none.noConfig = true;
    EXPECT_TRUE(configFiles(none, places).empty());
}

TEST_F(ServiceConfigTest, TheUsersFileOverridesTheSystemsAndArgumentsOverrideBoth) {
    writeConfig("sys", "quota = 5\nthreads = 8\nconnections = 100\ncert = /c.pem\n"
                       "idle-exit = 30\n");
    writeConfig("user", "quota = 7\nthreads = 9\nkey = /k.pem\n");
    const ConfigPlaces places{at("sys"), at("user"), ""};
    std::string error;
    const auto line = configure({"--threads", "2", "--idle-exit", "0"}, places, error);
    ASSERT_TRUE(line) << error;
    EXPECT_EQ(line->connections, 100U); // the system's alone
    EXPECT_EQ(line->quota, 7);          // the user's over the system's
    EXPECT_EQ(line->threads, 2U);       // the argument's over both
    EXPECT_EQ(line->idleExit, 0);
    // The certificate from one file and its key from the other make a pair.
    EXPECT_EQ(line->certificate, "/c.pem");
    EXPECT_EQ(line->key, "/k.pem");

    // --no-config reads neither; --config only the file named.
    const auto bare = configure({"--no-config"}, places, error);
    ASSERT_TRUE(bare) << error;
    EXPECT_EQ(bare->quota, 0);
    EXPECT_FALSE(bare->idleExit);
    const std::string named = writeConfig("named", "quota = 11\n");
    const auto chosen = configure({"--config", named}, places, error);
    ASSERT_TRUE(chosen) << error;
    EXPECT_EQ(chosen->quota, 11);
    EXPECT_EQ(chosen->threads, CommandLine{}.threads);

    EXPECT_FALSE(configure({"--config", named, "--no-config"}, places, error));
    EXPECT_FALSE(configure({"--config", at("missing.conf")}, places, error));
    EXPECT_EQ(error, at("missing.conf") + ": cannot read it: No such file or directory");
    EXPECT_FALSE(configure({"--config", at("named")}, places, error));
    EXPECT_EQ(error, at("named") + ": not a regular file");
    // A FIFO held the start in open() for good.
    const std::string fifo = at("fifo.conf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(configure({"--config", fifo}, places, error));
    EXPECT_EQ(error, fifo + ": not a regular file");
}

TEST_F(ServiceConfigTest, CommentsBlankLinesAndBlanksAroundNamesAndValuesAreIgnored) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(applyConfigText(line,
                                "# the service\r\n\n   \t\n  quota\t=\t 9 \r\n"
                                "  # listen = 127.0.0.1:1\nupstream = searxng:http://h/?a=b#c\n"
                                "database = host=db1,db2 dbname=tarvex target_session_attrs=any",
                                "/etc/service.conf", error))
        << error;
    EXPECT_EQ(line.quota, 9);
    EXPECT_EQ(line.port, 0);
    ASSERT_TRUE(line.upstream);
    EXPECT_EQ(line.upstream->address, "http://h/?a=b#c"); // '#' inside a value is kept
    EXPECT_EQ(line.database, "host=db1,db2 dbname=tarvex target_session_attrs=any")
        << "a connection string is taken whole, blanks inside and all";
}

struct Refusal {
    std::string text;
    std::size_t line;
    std::string reason;
};

TEST_F(ServiceConfigTest, EveryBadLineIsRefusedWithItsNumber) {
    const std::string longLine = "# " + std::string(kMaxConfigLineBytes - 1, 'x');
    const std::string fullLine = "# " + std::string(kMaxConfigLineBytes - 3, 'x') + "\n";
    const std::vector<Refusal> refusals{
        {"quota = 3\nlisten 127.0.0.1:1\n", 2, "NAME = VALUE wanted"},
        {"# about\n\ncolour = red\n", 3, "unknown argument: --colour"},
        {"quota = 0\n", 1, "--quota wants a number of at least 1: 0"},
        {"threads = 4\nidle-exit = -1\n", 2, "--idle-exit wants a number of seconds"},
        {"upstream = gopher:x\n", 1, "--upstream: wants opensearch:TEMPLATE"},
        {std::string{kLoopbackPagesOption}.substr(2) + " = yes\n", 1, "is for tests"},
        {"= 3\n", 1, "unknown setting: "},
        {"--quota = 3\n", 1, "unknown setting: --quota"},
        {"config = /x.conf\n", 1, "unknown argument: --config"},
        {"help = yes\n", 1, "unknown argument: --help"},
        {"\ncorpus =   \n", 2, "corpus has no value"},
        {"quota = 1\n" + longLine + "\n", 2, "the line is longer than 4 KiB"},
    };
    for (const Refusal& refusal : refusals) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(applyConfigText(line, refusal.text, "/etc/s.conf", error)) << refusal.text;
        const std::string where = "/etc/s.conf:" + std::to_string(refusal.line) + ": ";
        EXPECT_EQ(error.substr(0, where.size()), where) << error;
        EXPECT_NE(error.find(refusal.reason), std::string::npos) << error;
    }

    // A line of exactly 4 KiB, and a file of exactly 64 KiB, pass.
    CommandLine line;
    std::string error;
    EXPECT_TRUE(applyConfigText(line, "# " + std::string(kMaxConfigLineBytes - 2, 'x'),
                                "/etc/s.conf", error))
        << error;
    std::string full;
    while (full.size() < kMaxConfigFileBytes) {
        full += fullLine;
    }
    ASSERT_EQ(full.size(), kMaxConfigFileBytes);
    EXPECT_TRUE(applyConfigText(line, full, "/etc/s.conf", error)) << error;
}

TEST_F(ServiceConfigTest, AFileOverSixtyFourKibIsRefusedAtTheLineThatCrossesIt) {
    // 100-byte comment lines: the one ending past 64 KiB is told, however large the file.
    const std::string comment = "#" + std::string(98, 'x') + "\n";
    std::string text;
    for (int i = 0; i < 20'000; ++i) {
        text += comment;
    }
    const std::string file = writeConfig("big", text);
    CommandLine line;
    std::string error;
    EXPECT_FALSE(applyConfigFile(line, file, error));
    EXPECT_EQ(error, file + ":" + std::to_string(kMaxConfigFileBytes / 100 + 1) +
                         ": the file is larger than 64 KiB");
}

TEST_F(ServiceConfigTest, RelativePathsStartAtTheFilesFolder) {
    const std::string file = writeConfig("etc", "corpus = data/c.corpus\n"
                                                "keys = ../keys.txt\n"
                                                "cert = ./tls/cert.pem\n"
                                                "key = /abs/key.pem\n"
                                                "upstream-ca = ca.pem\n"
                                                "upstream-cache = cache.sqlite\n"
                                                "listen = 127.0.0.1:8080\n");
    CommandLine line;
    std::string error;
    ASSERT_TRUE(applyConfigFile(line, file, error)) << error;
    const fs::path folder = fs::path{file}.parent_path();
    EXPECT_EQ(line.corpus, (folder / "data/c.corpus").string());
    EXPECT_EQ(line.keys, (m_root / "etc/keys.txt").string());
    EXPECT_EQ(line.certificate, (folder / "tls/cert.pem").string());
    EXPECT_EQ(line.key, "/abs/key.pem");
    EXPECT_EQ(line.upstreamCa, (folder / "ca.pem").string());
    EXPECT_EQ(line.upstreamCache, (folder / "cache.sqlite").string());
    EXPECT_EQ(line.host, "127.0.0.1");
    EXPECT_EQ(line.port, 8080);

    // On the command line a relative path stays as given.
    const auto argued = readCommandLine({"--corpus", "data/c.corpus"}, line, error);
    ASSERT_TRUE(argued) << error;
    EXPECT_EQ(argued->corpus, "data/c.corpus");
}

} // namespace
} // namespace tarvex::search
