#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::cli {

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Command {
    std::string_view name;
    std::string_view summary;
    std::string_view help; // the whole --help text
    int (*run)(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
};

// Every subcommand, in the order --help lists them.
[[nodiscard]] const std::vector<Command>& commands();

// Runs the tool on the words after the program name.
[[nodiscard]] int runTool(const std::vector<std::string>& words, std::ostream& out,
                          std::ostream& err);

// The subcommands.
int runEnvelope(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
int runParse(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
int runFault(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
int runCall(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
int runCache(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
int runSearch(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

} // namespace tarvex::cli
