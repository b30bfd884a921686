// One doGoogleSearch call as the search worker makes it: a new proxy and a new connection, the
// request written and posted, the results read back and released. Against its baseline: the
// same request bytes sent on a new connection with plain sockets and the answer read whole,
// unparsed.
//
//   round_trip_bench [--endpoint URL] [--key KEY] [--query WORDS] [benchmark flags]
//
// Without --endpoint, a scripted server on loopback answers every call with a ten-result
// response; with it, any server of the service does (the local one, or another).
#include "base/sys_string.h"
#include "http/tls_socket.h"
#include "http/url.h"
#include "proxy/google_search.h"
#include "support/scripted_server.h"
#include "support/tls_test_server.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace tarvex;

constexpr std::size_t kMaxAnswerBytes = 64U * 1024U * 1024U;

struct Options {
    std::optional<std::string> endpoint;
    std::string key = "00000000000000000000000000000000";
    std::string query = "temperature";
};

Options& options() {
    static Options chosen;
    return chosen;
}

std::u16string wide(const std::string& text) {
    return {text.begin(), text.end()};
}

// The server the benchmarks call: the one named, or a scripted one started on first use.
const std::string& endpoint() {
    static std::unique_ptr<test::ScriptedServer> scripted;
    static const std::string url = [] {
        if (options().endpoint) {
            return *options().endpoint;
        }
        std::ifstream in(TARVEX_RESPONSE_FIXTURE, std::ios::binary);
        const std::string body{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        scripted = std::make_unique<test::ScriptedServer>(
            std::vector{test::ScriptedServer::answer(test::ScriptedServer::response(200, body))},
            true);
        return scripted->url();
    }();
    return url;
}

bool callOnce(const std::string& url, const UniqueSysString& key, const UniqueSysString& query) {
    proxy::CGoogleSearch proxy{url};
    proxy::GoogleSearchResult result{};
    if (failed(proxy.doGoogleSearch(key.get(), query.get(), 0, 10, true, nullptr, false, nullptr,
                                    nullptr, nullptr, result))) {
        return false;
    }
    benchmark::DoNotOptimize(result.resultElements);
    proxy::releaseGoogleSearchResult(result);
    return true;
}

// The bytes the proxy sends to `url`, taken from a scripted server that stands in for it.
std::optional<std::string> requestBytesFor(const http::Url& url) {
    test::ScriptedServer recorder{
        {test::ScriptedServer::answer(test::ScriptedServer::response(500, ""))}};
    const UniqueSysString key{sysAllocString(wide(options().key).c_str())};
    const UniqueSysString query{sysAllocString(wide(options().query).c_str())};
    (void)callOnce(recorder.url(url.path + url.extra), key, query);
    const std::vector<std::string> requests = recorder.requests();
    if (requests.empty()) {
        return std::nullopt;
    }
    std::string bytes = requests.front();
    const std::string recorded = "Host: 127.0.0.1:" + std::to_string(recorder.port()) + "\r\n";
    const std::size_t host = bytes.find(recorded);
    if (host != std::string::npos) {
        bytes.replace(host, recorded.size(),
                      "Host: " + url.host + (url.port == 80 ? "" : ":" + std::to_string(url.port)) +
                          "\r\n");
    }
    return bytes;
}

int connectTo(const http::Url& url) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(url.host.c_str(), std::to_string(url.port).c_str(), &hints, &found) != 0) {
        return -1;
    }
    int fd = -1;
    for (const addrinfo* each = found; each != nullptr && fd < 0; each = each->ai_next) {
        fd = socket(each->ai_family, each->ai_socktype, each->ai_protocol);
        if (fd >= 0 && connect(fd, each->ai_addr, each->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

// The head's length and its Content-Length (RFC 9110 8.6), when it has one.
std::optional<std::size_t> answerSize(const std::string& answer, std::size_t headEnd) {
    std::string head = answer.substr(0, headEnd);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string name = "\r\ncontent-length:";
    const std::size_t at = head.find(name);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const char* digits = head.c_str() + at + name.size();
    while (*digits == ' ' || *digits == '\t') {
        ++digits;
    }
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(digits, head.c_str() + head.size(), length);
    if (error != std::errc{} || end == digits || length > kMaxAnswerBytes) {
        return std::nullopt;
    }
    return headEnd + 4 + length;
}

// Sends `request` and reads the answer: its head, then Content-Length bytes or up to the close.
bool exchange(const http::Url& url, const std::string& request, std::string& answer) {
    const int fd = connectTo(url);
    if (fd < 0) {
        return false;
    }
    bool ok = send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
              static_cast<ssize_t>(request.size());
    answer.clear();
    std::optional<std::size_t> total;
    char buffer[65536];
    while (ok && (!total || answer.size() < *total) && answer.size() < kMaxAnswerBytes) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            ok = got == 0 && !total;
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(got));
        const std::size_t headEnd = answer.find("\r\n\r\n");
        if (!total && headEnd != std::string::npos) {
            total = answerSize(answer, headEnd);
        }
    }
    close(fd);
    return ok && answer.starts_with("HTTP/1.1 200");
}

void doGoogleSearchRoundTrip(benchmark::State& state) {
    const std::string& url = endpoint();
    const UniqueSysString key{sysAllocString(wide(options().key).c_str())};
    const UniqueSysString query{sysAllocString(wide(options().query).c_str())};
    for (auto _ : state) {
        if (!callOnce(url, key, query)) {
            state.SkipWithError("the call failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("calls");
}
BENCHMARK(doGoogleSearchRoundTrip)->UseRealTime();

// Baseline: the proxy's request bytes over a new connection, the answer read and not parsed.
void bareExchange(benchmark::State& state) {
    const std::optional<http::Url> url = http::parseUrl(endpoint());
    const std::optional<std::string> request = url ? requestBytesFor(*url) : std::nullopt;
    if (!request) {
        state.SkipWithError("no request to send");
        return;
    }
    std::string answer;
    for (auto _ : state) {
        if (!exchange(*url, *request, answer)) {
            state.SkipWithError("the exchange failed");
            return;
        }
        benchmark::DoNotOptimize(answer.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("baseline");
}
BENCHMARK(bareExchange)->UseRealTime();

// The same call over TLS, to a scripted TLS server whose certificate comes from an authority made
// for the run: the cost of TLS per call, with a new connection (and handshake) each time and
// with one kept connection, beside a kept plain connection.
struct TlsSetup {
    test::TestCertificates certificates;
    std::shared_ptr<const http::TlsTrust> trust;
    std::string body;
};

TlsSetup& tlsSetup() {
    static const std::unique_ptr<TlsSetup> setup = [] {
        auto made = std::make_unique<TlsSetup>();
        std::string error;
        made->trust = http::TlsTrust::create(made->certificates.authority(), error);
        std::ifstream in(TARVEX_RESPONSE_FIXTURE, std::ios::binary);
        made->body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return made;
    }();
    return *setup;
}

void tlsCalls(benchmark::State& state, bool secure, bool keep) {
    TlsSetup& setup = tlsSetup();
    const std::vector answers{
        test::ScriptedServer::answer(test::ScriptedServer::response(200, setup.body), !keep)};
    std::unique_ptr<test::TlsTestServer> tlsServer;
    std::unique_ptr<test::ScriptedServer> plainServer;
    std::string url;
    if (secure) {
        tlsServer = std::make_unique<test::TlsTestServer>(test::TlsTestServer::Behaviour::Serve,
                                                          setup.certificates.good(), answers, true);
        url = tlsServer->url();
    } else {
        plainServer = std::make_unique<test::ScriptedServer>(answers, true);
        url = plainServer->url();
    }
    const UniqueSysString key{sysAllocString(wide(options().key).c_str())};
    const UniqueSysString query{sysAllocString(wide(options().query).c_str())};
    const http::SocketFactory sockets = http::makeSocketFactory(setup.trust);
    std::unique_ptr<proxy::CGoogleSearch> kept;
    for (auto _ : state) {
        std::unique_ptr<proxy::CGoogleSearch> fresh;
        if (!keep || !kept) {
            (keep ? kept : fresh) =
                std::make_unique<proxy::CGoogleSearch>(url, soap::createSaxReader, sockets);
        }
        proxy::CGoogleSearch& proxy = keep ? *kept : *fresh;
        proxy::GoogleSearchResult result{};
        if (failed(proxy.doGoogleSearch(key.get(), query.get(), 0, 10, true, nullptr, false,
                                        nullptr, nullptr, nullptr, result))) {
            state.SkipWithError("the call failed");
            return;
        }
        benchmark::DoNotOptimize(result.resultElements);
        proxy::releaseGoogleSearchResult(result);
    }
    state.SetItemsProcessed(state.iterations());
    if (tlsServer) {
        state.counters["handshakes"] = tlsServer->handshakes();
    }
}

void doGoogleSearchOverTlsNewConnection(benchmark::State& state) {
    tlsCalls(state, true, false);
}
BENCHMARK(doGoogleSearchOverTlsNewConnection)->UseRealTime();

void doGoogleSearchOverTlsKeptConnection(benchmark::State& state) {
    tlsCalls(state, true, true);
}
BENCHMARK(doGoogleSearchOverTlsKeptConnection)->UseRealTime();

// Baselines of the two: the same server in the clear.
void doGoogleSearchPlainNewConnection(benchmark::State& state) {
    tlsCalls(state, false, false);
}
BENCHMARK(doGoogleSearchPlainNewConnection)->UseRealTime();

void doGoogleSearchPlainKeptConnection(benchmark::State& state) {
    tlsCalls(state, false, true);
}
BENCHMARK(doGoogleSearchPlainKeptConnection)->UseRealTime();

// Takes this benchmark's own options out of argv, leaving the benchmark library's.
bool takeOptions(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        std::string* target = word == "--endpoint" ? &options().endpoint.emplace()
                              : word == "--key"    ? &options().key
                              : word == "--query"  ? &options().query
                                                   : nullptr;
        if (target == nullptr) {
            argv[kept++] = argv[i];
        } else if (i + 1 < argc) {
            *target = argv[++i];
        } else {
            std::cerr << "round_trip_bench: " << word << " needs a value\n";
            return false;
        }
    }
    argc = kept;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (!takeOptions(argc, argv)) {
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
