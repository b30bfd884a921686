// The text of the autostart entry: the Exec= quoting of the Desktop Entry Specification, checked
// against known answers, against a reader of that quoting written here, and by
// desktop-file-validate where it is installed.
#include "shell/startup_shortcut.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace tarvex::shell {
namespace {

struct QuotingCase {
    const char* argument;
    const char* exec; // as written in the file
};

// Known answers worked out by hand from the Exec key's rules: reserved characters need double
// quotes; inside them '"', '`', '$' and '\' take a backslash; then the value's own escapes
// double every backslash; '%' is always "%%".
const QuotingCase kQuotingCases[] = {
    {"/usr/bin/dunsk", "/usr/bin/dunsk"},
    {"/opt/a=b,c+d@e:f/dunsk", "/opt/a=b,c+d@e:f/dunsk"},
    {"/opt/my apps/dunsk", R"("/opt/my apps/dunsk")"},
    {"/opt/a\"b/dunsk", R"("/opt/a\\"b/dunsk")"},
    {"/opt/a\\b/dunsk", R"("/opt/a\\\\b/dunsk")"},
    {"/opt/a$b/dunsk", R"("/opt/a\\$b/dunsk")"},
    {"/opt/a`b/dunsk", R"("/opt/a\\`b/dunsk")"},
    {"/opt/a'b/dunsk", R"("/opt/a'b/dunsk")"},
    {"/opt/a;b&c|d/dunsk", R"("/opt/a;b&c|d/dunsk")"},
    {"/opt/~a/*?#()<>/dunsk", R"("/opt/~a/*?#()<>/dunsk")"},
    {"/opt/50%/dunsk", "/opt/50%%/dunsk"},
    {"/opt/50% off/dunsk", R"("/opt/50%% off/dunsk")"},
    {"/opt/a\tb/dunsk", R"("/opt/a\tb/dunsk")"},
    {"/opt/a\nb/dunsk", R"("/opt/a\nb/dunsk")"},
    {"", R"("")"},
};

TEST(ExecQuotingTest, KnownAnswers) {
    for (const QuotingCase& row : kQuotingCases) {
        EXPECT_EQ(quoteExecArgument(row.argument), row.exec) << row.argument;
    }
}

// Reads an Exec= value back the way a launcher does: the string value's escapes first, then
// the quoting into arguments, then "%%".
std::optional<std::vector<std::string>> readExec(const std::string& value) {
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            unescaped += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        switch (value[i]) {
        case '\\':
            unescaped += '\\';
            break;
        case 'n':
            unescaped += '\n';
            break;
        case 't':
            unescaped += '\t';
            break;
        case 'r':
            unescaped += '\r';
            break;
        case 's':
            unescaped += ' ';
            break;
        default:
            return std::nullopt;
        }
    }
    std::vector<std::string> arguments;
    std::optional<std::string> current;
    bool quoted = false;
    for (std::size_t i = 0; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\') {
                if (++i == unescaped.size() ||
                    std::string_view{"\"`$\\"}.find(unescaped[i]) == std::string_view::npos) {
                    return std::nullopt;
                }
                *current += unescaped[i];
            } else {
                *current += c;
            }
        } else if (c == ' ') {
            if (current) {
                arguments.push_back(*current);
                current.reset();
            }
        } else if (c == '"') {
            quoted = true;
            current = current.value_or("");
        } else if (std::string_view{"\t\n'\\><~|&;$*?#()`"}.find(c) != std::string_view::npos) {
            return std::nullopt; // a reserved character outside quotes
        } else {
            current = current.value_or("") + c;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (current) {
        arguments.push_back(*current);
    }
    for (std::string& argument : arguments) {
        std::string plain;
        for (std::size_t i = 0; i < argument.size(); ++i) {
            if (argument[i] == '%') {
                if (++i == argument.size() || argument[i] != '%') {
                    return std::nullopt; // a field code: the path would be cut
                }
            }
            plain += argument[i];
        }
        argument = plain;
    }
    return arguments;
}

TEST(ExecQuotingTest, ALauncherReadsBackTheOnePath) {
    for (const QuotingCase& row : kQuotingCases) {
        const auto arguments = readExec(quoteExecArgument(row.argument));
        ASSERT_TRUE(arguments.has_value()) << row.argument;
        EXPECT_EQ(*arguments, std::vector<std::string>{row.argument}) << row.argument;
    }
}

TEST(AutostartEntryTest, ExactText) {
    EXPECT_EQ(autostartEntry("Tarvex", "moravel", "/opt/my apps/dunsk"),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Tarvex\n"
              "Comment=moravel\n"
              "Exec=\"/opt/my apps/dunsk\"\n");
}

TEST(AutostartEntryTest, NameAndCommentAreEscapedValues) {
    EXPECT_EQ(autostartEntry("Tar\\vex", "line\nbreak", "/x"), "[Desktop Entry]\n"
                                                               "Type=Application\n"
                                                               "Name=Tar\\\\vex\n"
                                                               "Comment=line\\nbreak\n"
                                                               "Exec=/x\n");
}

// The entries written for awkward executable paths pass the reference validator.
TEST(AutostartEntryTest, WrittenEntriesPassDesktopFileValidate) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "desktop-file-validate is not installed";
    }
    std::string folder = ::testing::TempDir() + "tarvex_entry_XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    std::vector<std::string> errors;
    const std::string path = autostartEntryPath(folder, kStartupLinkName);
    // A newline inside an Exec= argument is legal but the validator refuses it; an empty path
    // makes no entry. Both are left out here.
    for (const QuotingCase& row : kQuotingCases) {
        const std::string_view argument = row.argument;
        if (argument.empty() || argument.find('\n') != std::string_view::npos) {
            continue;
        }
        const StartupShortcut shortcut(
            [&errors](const std::string& message) { errors.push_back(message); }, folder,
            std::string{argument});
        ASSERT_TRUE(shortcut.SetStartupShortcut(kStartupLinkName, kStartupDescription, true));
        const std::string command = "desktop-file-validate '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << row.argument;
    }
    EXPECT_TRUE(errors.empty());
    std::remove(path.c_str());
    ::rmdir(folder.c_str());
}

} // namespace
} // namespace tarvex::shell
