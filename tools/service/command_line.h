#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tarvex::search {

enum class UpstreamKind { OpenSearch, Searxng };

// An upstream web search engine: an OpenSearch 1.1 URL template or a SearXNG instance's address.
struct UpstreamChoice {
    UpstreamKind kind = UpstreamKind::OpenSearch;
    std::string address;
};

inline constexpr std::int64_t kMaxUpstreamCacheHours = std::int64_t{24} * 365;
inline constexpr std::int32_t kMaxUpstreamRate = 1000;
inline constexpr std::int64_t kMaxIdleExitSeconds = std::int64_t{24} * 3600 * 365;
// The idle exit of a service started for its socket: the socket stays with systemd, which
// starts the service again at the next connection.
inline constexpr std::int64_t kActivatedIdleExitSeconds = 600;
// Lets doGetCachedPage fetch from loopback addresses (private ones stay refused); for tests on
// one machine only, so the configuration file never accepts it.
inline constexpr const char* kLoopbackPagesOption = "--test-allow-loopback-pages";

struct CommandLine {
    std::string host = "127.0.0.1";
    int port = 0; // 0: any free port
    std::optional<std::string> corpus;
    // A PostgreSQL connection string: the index, the quotas and the upstream cache live there,
    // shared by every service on it.
    std::optional<std::string> database;
    std::optional<std::string> keys;
    std::int64_t quota = 0;
    std::size_t threads = 64;
    std::size_t connections = 4096;
    // Both or neither: HTTPS with this certificate (PEM, chain allowed) and its key.
    std::optional<std::string> certificate;
    std::optional<std::string> key;
    std::optional<UpstreamChoice> upstream; // none: the local index answers
    std::optional<std::string> upstreamCa;
    std::optional<std::string> upstreamCache; // the SQLite file of upstream answers
    std::int64_t upstreamCacheHours = 1;
    std::int32_t upstreamRate = 2; // requests per second to the upstream at most
    bool allowLoopbackPages = false;
    // Seconds without a client before the service stops by itself, 0 never; none: 600 when
    // started for a socket that systemd holds (it starts the service again), else never.
    std::optional<std::int64_t> idleExit;
    bool help = false;
    // Where the settings under the arguments come from: the configuration files by default.
    std::optional<std::string> configFile; // --config FILE: that file alone
    bool noConfig = false;                 // --no-config: none
};

inline constexpr const char* kUsage =
    "usage: tarvex-service [--listen HOST:PORT] [--corpus FILE] [--database CONNINFO]\n"
    "                      [--keys FILE] [--quota N]\n"
    "                      [--threads N] [--connections N] [--cert FILE --key FILE]\n"
    "                      [--upstream ENGINE] [--upstream-ca FILE] [--upstream-cache FILE]\n"
    "                      [--upstream-cache-hours N] [--upstream-rate N]\n"
    "                      [--idle-exit SECONDS] [--config FILE | --no-config]\n"
    "Serves doGoogleSearch, doSpellingSuggestion and doGetCachedPage (SOAP 1.1) at\n"
    "http://HOST:PORT/search/beta2 and prints that address on its first line. The same\n"
    "port serves a web search page (/search?q=...) and a page on licence keys (/apis).\n"
    "Started by systemd for its socket (socket activation), it serves on that socket.\n"
    "  --listen   address to listen on (default 127.0.0.1:0, any free port)\n"
    "  --corpus   corpus file, in the service's format or dpkg's status format\n"
    "             (default: /var/lib/dpkg/status, else the built-in corpus); with\n"
    "             --database it is loaded into the database once\n"
    "  --database PostgreSQL connection string (postgresql://HOST[,HOST...]/NAME or\n"
    "             key=value pairs): the index, the key quotas and, with --upstream, the\n"
    "             upstream cache live in that database, shared by every service that\n"
    "             names it\n"
    "  --keys     file of accepted licence keys, one per line (default: any non-empty key)\n"
    "  --quota    searches per key per day (default: no limit)\n"
    "  --threads  requests served at once (default 64)\n"
    "  --connections\n"
    "             clients connected at once (default 4096); past it the idlest\n"
    "             connection is closed to take a new one\n"
    "  --cert, --key\n"
    "             serve HTTPS (TLS 1.2 or later) with this certificate and key, both PEM\n"
    "             files; the first line then reads https://\n"
    "  --upstream opensearch:TEMPLATE | searxng:BASE-URL\n"
    "             answer from a web search engine instead of the local index: an\n"
    "             OpenSearch 1.1 URL template ({searchTerms}, {startIndex?}, {startPage?},\n"
    "             {count?}, {language?}) answering RSS or Atom, or a SearXNG instance\n"
    "  --upstream-ca\n"
    "             PEM file of certificates trusted for the upstream besides the system's\n"
    "  --upstream-cache\n"
    "             SQLite file that keeps upstream answers\n"
    "             (default $XDG_CACHE_HOME/tarvex/service.sqlite; with --database the\n"
    "             database keeps them)\n"
    "  --upstream-cache-hours\n"
    "             how long upstream answers and the addresses given out are kept\n"
    "             (default 1; 0 keeps none, and then no cached page is served)\n"
    "  --upstream-rate\n"
    "             requests per second to the upstream at most (default 2)\n"
    "  --idle-exit\n"
    "             seconds with no client connected after which the service stops; 0 never\n"
    "             (default 600 when started by systemd for its socket, else 0)\n"
    "  --config FILE\n"
    "             read the settings from FILE alone. By default they are read from the first\n"
    "             tarvex/service.conf in $XDG_CONFIG_DIRS (/etc/xdg), then from\n"
    "             $XDG_CONFIG_HOME/tarvex/service.conf (~/.config), the later winning; options\n"
    "             given here win over both. Lines are NAME = VALUE with the names of the options\n"
    "             above without --, or # comments; relative paths start at the file's folder\n"
    "  --no-config\n"
    "             read no configuration file\n";

// Sets one option ("--quota") from its value; false with the reason when either is wrong.
[[nodiscard]] bool applyOption(CommandLine& line, const std::string& option,
                               const std::string& value, std::string& error);

[[nodiscard]] std::optional<UpstreamChoice> parseUpstream(std::string_view text,
                                                          std::string& error);

// Reads the arguments after the program name over `base` (what the configuration files set);
// on a mistake returns nothing and says why.
[[nodiscard]] std::optional<CommandLine>
readCommandLine(const std::vector<std::string>& words, const CommandLine& base, std::string& error);

// What no single option tells, checked once the arguments and the files are put together:
// --cert and --key go together.
[[nodiscard]] bool checkCommandLine(const CommandLine& line, std::string& error);

// The keys of a keys file: one per line, blanks around it ignored, "#" lines are comments.
[[nodiscard]] std::unordered_set<std::string> readKeys(const std::string& text);

} // namespace tarvex::search
