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

} // namespace

std::optional<CommandLine> readCommandLine(const std::vector<std::string>& words,
                                           std::string& error) {
    CommandLine line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--help" || word == "-h") {
            line.help = true;
            continue;
        }
        if (word != "--listen" && word != "--corpus" && word != "--keys" && word != "--quota" &&
            word != "--threads" && word != "--connections" && word != "--cert" && word != "--key") {
            error = "unknown argument: " + word;
            return std::nullopt;
        }
        if (i + 1 >= words.size()) {
            error = word + " needs a value";
            return std::nullopt;
        }
        const std::string& value = words[++i];
        if (word == "--listen") {
            const auto colon = value.rfind(':');
            if (colon == std::string::npos || colon == 0 ||
                !number(value.substr(colon + 1), 0, 65535, line.port)) {
                error = "--listen wants HOST:PORT, PORT 0 to 65535: " + value;
                return std::nullopt;
            }
            line.host = value.substr(0, colon);
        } else if (word == "--cert") {
            line.certificate = value;
        } else if (word == "--key") {
            line.key = value;
        } else if (word == "--corpus") {
            line.corpus = value;
        } else if (word == "--keys") {
            line.keys = value;
        } else if (word == "--quota") {
            if (!number<std::int64_t>(value, 1, INT64_MAX, line.quota)) {
                error = "--quota wants a number of at least 1: " + value;
                return std::nullopt;
            }
        } else if (word == "--connections") {
            if (!number<std::size_t>(value, 1, 65536, line.connections)) {
                error = "--connections wants a number from 1 to 65536: " + value;
                return std::nullopt;
            }
        } else if (!number<std::size_t>(value, 1, 1024, line.threads)) {
            error = "--threads wants a number from 1 to 1024: " + value;
            return std::nullopt;
        }
    }
    if (line.certificate.has_value() != line.key.has_value()) {
        error = "--cert and --key go together";
        return std::nullopt;
    }
    return line;
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
