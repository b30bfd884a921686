#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tarvex::search {

struct CommandLine {
    std::string host = "127.0.0.1";
    int port = 0; // 0: any free port
    std::optional<std::string> corpus;
    std::optional<std::string> keys;
    std::int64_t quota = 0;
    std::size_t threads = 64;
    std::size_t connections = 4096;
    // Both or neither: HTTPS with this certificate (PEM, chain allowed) and its key.
    std::optional<std::string> certificate;
    std::optional<std::string> key;
    bool help = false;
};

inline constexpr const char* kUsage =
    "usage: tarvex-service [--listen HOST:PORT] [--corpus FILE] [--keys FILE] [--quota N]\n"
    "                      [--threads N] [--connections N] [--cert FILE --key FILE]\n"
    "Serves doGoogleSearch, doSpellingSuggestion and doGetCachedPage (SOAP 1.1) at\n"
    "http://HOST:PORT/search/beta2 and prints that address on its first line. The same\n"
    "port serves a web search page (/search?q=...) and a page on licence keys (/apis).\n"
    "  --listen   address to listen on (default 127.0.0.1:0, any free port)\n"
    "  --corpus   corpus file, in the service's format or dpkg's status format\n"
    "             (default: /var/lib/dpkg/status, else the built-in corpus)\n"
    "  --keys     file of accepted licence keys, one per line (default: any non-empty key)\n"
    "  --quota    searches per key per day (default: no limit)\n"
    "  --threads  requests served at once (default 64)\n"
    "  --connections\n"
    "             clients connected at once (default 4096); past it the idlest\n"
    "             connection is closed to take a new one\n"
    "  --cert, --key\n"
    "             serve HTTPS (TLS 1.2 or later) with this certificate and key, both PEM\n"
    "             files; the first line then reads https://\n";

// Reads the arguments after the program name; on a mistake returns nothing and says why.
[[nodiscard]] std::optional<CommandLine> readCommandLine(const std::vector<std::string>& words,
                                                         std::string& error);

// The keys of a keys file: one per line, blanks around it ignored, "#" lines are comments.
[[nodiscard]] std::unordered_set<std::string> readKeys(const std::string& text);

} // namespace tarvex::search
