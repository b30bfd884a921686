#include "tarvex/command.h"

#include <algorithm>

namespace tarvex::cli {
namespace {

constexpr std::string_view kToolHelp = R"(tarvex: command-line companion of the Tarvex search client

Usage: tarvex COMMAND [OPTIONS]
       tarvex help COMMAND
       tarvex COMMAND --help

Commands:
)";

constexpr std::string_view kEnvelopeHelp =
    R"(Usage: tarvex envelope --key KEY --query WORDS [--start N] [--max N] [--filter 0|1] [--safe 0|1]

Prints the exact SOAP request body that doGoogleSearch sends for these arguments, byte for
byte, with no line break after it. restrict, lr, ie and oe are sent as nil elements.

Options:
  --key KEY      licence key (text of the process code page)
  --query WORDS  query words (text of the process code page)
  --start N      zero-based offset of the first result (default 0)
  --max N        results wanted (default 10)
  --filter 0|1   fold similar results (default 1)
  --safe 0|1     safe search (default 0)
)";

constexpr std::string_view kParseHelp = R"(Usage: tarvex parse FILE

Parses FILE as the body of a doGoogleSearch response (as after HTTP 200) and prints the
GoogleSearchResult as JSON: every member under its wire name, null for an absent string, the
arrays as JSON arrays. When the body does not parse, prints {"error": "0x........"} with the
status and exits with 1.
)";

constexpr std::string_view kFaultHelp = R"(Usage: tarvex fault FILE

Reads FILE as a SOAP Fault body (as after HTTP 500) and prints
{"code": N, "faultcode": ..., "faultstring": ..., "faultactor": ..., "detail": ...}; code is
100 VersionMismatch, 200 MustUnderstand, 300 Client, 400 Server or 0 for another code. When
the body does not read as a fault, prints {"error": "0x........"} and exits with 1.
)";

constexpr std::string_view kCallHelp =
    R"(Usage: tarvex call OPERATION --endpoint URL --key KEY [options]

Calls one operation of the search service at URL and prints the answer as JSON.

Operations and their options:
  doGoogleSearch        --query WORDS [--start N] [--max N] [--filter 0|1] [--safe 0|1]
                        prints the GoogleSearchResult (as tarvex parse does)
  doSpellingSuggestion  --phrase WORDS    prints {"return": suggestion or null}
  doGetCachedPage       --url URL         prints {"return": the page as base64, or null}

Options:
  --endpoint URL   the service, for example http://127.0.0.1:8080/search/beta2
  --key KEY        licence key
  --timeout MS     wait limit of each send and receive (default 10000)
  --ca FILE        also trust the certificates in FILE (PEM) for an https endpoint (default:
                   the setting "Trust File"; SSL_CERT_FILE replaces the system's store)

On failure prints {"error": "0x........", "clientError": N} (with "fault" for a SOAP fault,
clientError 7; with "tlsFailure" when the TLS handshake failed: untrusted-certificate,
name-mismatch, expired-certificate or handshake-failed, explained on standard error; with
"reason", also on standard error, when the answer was cut short, too large or unreadable TLS,
or a redirect was refused) and exits with 1. clientError: 1 reader, 2 memory, 3 request,
5 send or connection, 6 unexpected status, 7 SOAP fault, 8 unreadable fault, 9 empty answer,
10 unreadable answer.
)";

constexpr std::string_view kCacheHelp = R"(Usage: tarvex cache dump [FILE]

Reads FILE (by default the window's cache file: the setting "Cache Path", else the per-user
data folder) as a result cache file and prints it as JSON: {"entries": [...], "errors": [...]}.
Each entry has queryWord, estimatedTotal, searchedAt ({"days": D, "status": S}), the six
result lists (urls, titles, summaries, snippets, categoryNames, directoryTitles) and
reservedList; errors holds the messages a load would show, in order.
)";

constexpr std::string_view kSearchHelp =
    R"(Usage: tarvex search [--key KEY] [--max N] [--endpoint URL] [--no-cache] [--json] QUERY

Searches as the window does: answered from the result cache when a fresh entry exists, else
up to three requests of ten results ("Maximum Results", or --max for one run), each page stored
in the cache. Uses the window's settings ("License Key", "Cache Life", "Search Filer", "Safe Search")
and its cache file ("Cache Path", by default in the per-user data folder), loaded before and
saved after. Prints the results, or with --json queryWord, estimatedTotal, searchedAt and the six
lists. A failed request prints "Error!" and exits with 1.

Options:
  --key KEY        licence key (default: the setting "License Key")
  --max N          results wanted in this run; the stored "Maximum Results" stays
  --endpoint URL   the service (default: TARVEX_ENDPOINT, the setting "Service Endpoint",
                   then the built-in address); an https one is verified against the system's
                   certificates, and a failed TLS handshake is explained on standard error, as
                   is an answer cut short, too large or refused
  --ca FILE        also trust the certificates in FILE (PEM) (default: the setting "Trust File")
  --no-cache       neither read nor write the cache file
  --cache FILE     use this cache file
  --settings FILE  keep the settings in this INI file instead of the window's
  --json           print JSON
)";

} // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> kCommands{
        {"envelope", "print the request body doGoogleSearch sends", kEnvelopeHelp, runEnvelope},
        {"parse", "parse a doGoogleSearch response body into JSON", kParseHelp, runParse},
        {"fault", "read a SOAP fault body into JSON", kFaultHelp, runFault},
        {"call", "call an operation of a search service", kCallHelp, runCall},
        {"cache", "show a result cache file as JSON", kCacheHelp, runCache},
        {"search", "search as the window does, with its cache", kSearchHelp, runSearch},
    };
    return kCommands;
}

int runTool(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const auto isHelp = [](const std::string& word) { return word == "--help" || word == "-h"; };
    const auto find = [](std::string_view name) -> const Command* {
        const auto& all = commands();
        const auto it = std::find_if(all.begin(), all.end(),
                                     [name](const Command& c) { return c.name == name; });
        return it == all.end() ? nullptr : &*it;
    };
    if (words.empty() || isHelp(words.front()) || (words.front() == "help" && words.size() == 1)) {
        out << kToolHelp;
        for (const Command& command : commands()) {
            out << "  " << command.name
                << std::string(10 - std::min<std::size_t>(command.name.size(), 9), ' ')
                << command.summary << '\n';
        }
        return words.empty() ? kExitUsage : kExitOk;
    }
    if (words.front() == "help") {
        if (const Command* command = find(words[1])) {
            out << command->help;
            return kExitOk;
        }
        err << "tarvex: no command '" << words[1] << "' (see tarvex --help)\n";
        return kExitUsage;
    }
    const Command* command = find(words.front());
    if (command == nullptr) {
        err << "tarvex: no command '" << words.front() << "' (see tarvex --help)\n";
        return kExitUsage;
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (std::any_of(rest.begin(), rest.end(), isHelp)) {
        out << command->help;
        return kExitOk;
    }
    return command->run(rest, out, err);
}

} // namespace tarvex::cli
