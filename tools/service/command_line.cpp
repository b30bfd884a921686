#include "service/command_line.h"

#include <charconv>
#include <sstream>

namespace tarvex::search {
namespace {

template <class Number>
bool number(const std::string& text, Number low, Number high, Number& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc{} && result.ptr == end && value >= low && value <= high;
}

bool fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

} // namespace

bool applyOption(CommandLine& line, const std::string& option, const std::string& value,
                 std::string& error) {
    if (option == "--listen") {
        const auto colon = value.rfind(':');
        if (colon == std::string::npos || colon == 0 ||
            !number(value.substr(colon + 1), 0, 65535, line.port)) {
            return fail(error, "--listen wants HOST:PORT, PORT 0 to 65535: " + value);
        }
        line.host = value.substr(0, colon);
    } else if (option == "--cert") {
        line.certificate = value;
    } else if (option == "--key") {
        line.key = value;
    } else if (option == "--corpus") {
        line.corpus = value;
    } else if (option == "--database") {
        if (value.empty()) {
            return fail(error, "--database wants a connection string");
        }
        line.database = value;
    } else if (option == "--keys") {
        line.keys = value;
    } else if (option == "--quota") {
        if (!number<std::int64_t>(value, 1, INT64_MAX, line.quota)) {
            return fail(error, "--quota wants a number of at least 1: " + value);
        }
    } else if (option == "--connections") {
        if (!number<std::size_t>(value, 1, 65536, line.connections)) {
            return fail(error, "--connections wants a number from 1 to 65536: " + value);
        }
    } else if (option == "--threads") {
        if (!number<std::size_t>(value, 1, 1024, line.threads)) {
            return fail(error, "--threads wants a number from 1 to 1024: " + value);
        }
    } else if (option == "--upstream") {
        std::string reason;
        line.upstream = parseUpstream(value, reason);
        if (!line.upstream) {
            return fail(error, "--upstream: " + reason);
        }
    } else if (option == "--upstream-ca") {
        line.upstreamCa = value;
    } else if (option == "--upstream-cache") {
        line.upstreamCache = value;
    } else if (option == "--upstream-cache-hours") {
        if (!number<std::int64_t>(value, 0, kMaxUpstreamCacheHours, line.upstreamCacheHours)) {
            return fail(error, "--upstream-cache-hours wants a number from 0 to " +
                                   std::to_string(kMaxUpstreamCacheHours) + ": " + value);
        }
    } else if (option == "--upstream-rate") {
        if (!number<std::int32_t>(value, 1, kMaxUpstreamRate, line.upstreamRate)) {
            return fail(error, "--upstream-rate wants a number from 1 to " +
                                   std::to_string(kMaxUpstreamRate) + ": " + value);
        }
    } else if (option == "--idle-exit") {
        std::int64_t seconds = 0;
        if (!number<std::int64_t>(value, 0, kMaxIdleExitSeconds, seconds)) {
            return fail(error, "--idle-exit wants a number of seconds from 0 to " +
                                   std::to_string(kMaxIdleExitSeconds) + ": " + value);
        }
        line.idleExit = seconds;
    } else if (option == kLoopbackPagesOption) {
        if (value != "yes" && value != "no") {
            return fail(error, std::string{kLoopbackPagesOption} + " wants yes or no: " + value);
        }
        line.allowLoopbackPages = value == "yes";
    } else {
        return fail(error, "unknown argument: " + option);
    }
    return true;
}

std::optional<UpstreamChoice> parseUpstream(std::string_view text, std::string& error) {
    UpstreamChoice choice;
    std::string_view address;
    if (text.starts_with("opensearch:")) {
        choice.kind = UpstreamKind::OpenSearch;
        address = text.substr(std::string_view{"opensearch:"}.size());
        if (address.find("{searchTerms}") == std::string_view::npos) {
            error = "an OpenSearch template needs {searchTerms}: " + std::string{text};
            return std::nullopt;
        }
    } else if (text.starts_with("searxng:")) {
        choice.kind = UpstreamKind::Searxng;
        address = text.substr(std::string_view{"searxng:"}.size());
    } else {
        error = "wants opensearch:TEMPLATE or searxng:BASE-URL: " + std::string{text};
        return std::nullopt;
    }
    if (!address.starts_with("http://") && !address.starts_with("https://")) {
        error = "the address must start with http:// or https://: " + std::string{address};
        return std::nullopt;
    }
    choice.address = address;
    return choice;
}

std::optional<CommandLine> readCommandLine(const std::vector<std::string>& words,
                                           const CommandLine& base, std::string& error) {
    CommandLine line = base;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--help" || word == "-h") {
            line.help = true;
            continue;
        }
        if (word == "--no-config") {
            line.noConfig = true;
            continue;
        }
        if (!word.starts_with("--")) {
            error = "unknown argument: " + word;
            return std::nullopt;
        }
        if (i + 1 >= words.size()) {
            error = word + " needs a value";
            return std::nullopt;
        }
        // Not an option of the service but where its options come from; the files never set it.
        if (word == "--config") {
            line.configFile = words[++i];
            continue;
        }
        if (!applyOption(line, word, words[++i], error)) {
            return std::nullopt;
        }
    }
    if (line.configFile && line.noConfig) {
        error = "--config and --no-config exclude each other";
        return std::nullopt;
    }
    return line;
}

bool checkCommandLine(const CommandLine& line, std::string& error) {
    if (line.certificate.has_value() != line.key.has_value()) {
        return fail(error, "--cert and --key go together");
    }
    return true;
}

std::unordered_set<std::string> readKeys(const std::string& text) {
    std::unordered_set<std::string> keys;
    std::istringstream lines{text};
    std::string line;
    while (std::getline(lines, line)) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        const auto last = line.find_last_not_of(" \t\r");
        keys.insert(line.substr(first, last - first + 1));
    }
    return keys;
}

} // namespace tarvex::search
