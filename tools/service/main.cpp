// tarvex-service: a local search service that answers the Tarvex client's SOAP calls.
#include "service/backend_factory.h"
#include "service/command_line.h"
#include "service/corpus_source.h"
#include "service/http_front.h"
#include "service/search_service.h"
#include "service/service_config.h"
#include "service/socket_activation.h"
#include "service/tls_server.h"
#include "service/web_pages.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace tarvex::search;

int serve(const CommandLine& line, const InheritedSocket& inherited) {
    std::string error;
    ServiceOptions options;
    options.quota = line.quota;
    if (line.keys) {
        const auto text = readInputFile(*line.keys);
        if (!text) {
            std::fprintf(stderr, "tarvex-service: cannot read the keys file %s\n",
                         line.keys->c_str());
            return 2;
        }
        options.keys = readKeys(*text);
    }
    const std::unique_ptr<SearchBackend> backend = openBackend(line, stderr, error);
    if (!backend) {
        std::fprintf(stderr, "tarvex-service: %s\n", error.c_str());
        return 2;
    }
    if (line.database && line.quota > 0) {
        options.sharedQuota = openSharedQuota(line, error);
        if (!options.sharedQuota) {
            std::fprintf(stderr, "tarvex-service: %s\n", error.c_str());
            return 2;
        }
    }
    const WebPages pages{*backend, KeyRules{options.keys.has_value(), options.quota}};
    SearchService service{*backend, std::move(options)};
    std::unique_ptr<TlsServerContext> tls;
    if (line.certificate) {
        tls = TlsServerContext::load(*line.certificate, *line.key, error);
        if (!tls) {
            std::fprintf(stderr, "tarvex-service: %s\n", error.c_str());
            return 2;
        }
    }
    const bool activated = inherited.state == InheritedSocket::State::Ready;
    const FrontLimits limits{
        line.threads, line.connections,
        std::chrono::seconds{line.idleExit.value_or(activated ? kActivatedIdleExitSeconds : 0)}};
    HttpFront front{service, pages, stderr, limits, tls.get()};
    const auto listener = activated ? std::optional<Listener>{inherited.listener}
                                    : openListener(line.host, line.port);
    if (!listener) {
        std::fprintf(stderr, "tarvex-service: cannot listen on %s:%d\n", line.host.c_str(),
                     line.port);
        return 1;
    }
    front.adopt(*listener);
    // The address asked for, or where the passed socket listens.
    const std::string& host = activated ? listener->address : line.host;
    const bool ipv6 = host.find(':') != std::string::npos;
    std::printf("%s://%s%s%s:%d%s\n", tls ? "https" : "http", ipv6 ? "[" : "", host.c_str(),
                ipv6 ? "]" : "", listener->port, HttpFront::kPath);
    std::fflush(stdout);

    // SIGINT and SIGTERM are taken by one thread, which stops the server.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    // A signal may come before the server runs, so the stop is repeated until it has ended.
    std::atomic<bool> finished{false};
    std::thread waiter{[&front, &finished, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        while (!finished) {
            front.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds{20});
        }
    }};
    const ServeEnd end = front.run();
    if (end == ServeEnd::Idle) {
        std::fprintf(stderr, "tarvex-service: idle, stopping\n");
    }
    finished = true;
    kill(getpid(), SIGTERM); // ends the wait if the server stopped itself
    waiter.join();
    std::fprintf(stderr, "tarvex-service: stopped\n");
    return end == ServeEnd::Failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    // Writes to a peer or a log reader that has gone fail with EPIPE instead of ending the
    // service: OpenSSL writes with write() (clients and upstream engines alike), and whatever
    // reads standard error may stop reading. A failed log write is not a failed request.
    std::signal(SIGPIPE, SIG_IGN);
    // Blocked before any thread starts, so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // Also before any thread starts: taking the socket edits the environment.
    const InheritedSocket inherited = takeInheritedSocket();

    const std::vector<std::string> words{argv + 1, argv + argc};
    std::string error;
    // The arguments alone first: whether they are right, --help, and which files to read.
    const auto asked = readCommandLine(words, CommandLine{}, error);
    if (!asked) {
        std::fprintf(stderr, "tarvex-service: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (asked->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // The files in order, then the arguments over them.
    CommandLine configured;
    for (const std::string& file : configFiles(*asked, ConfigPlaces::fromEnvironment())) {
        if (!applyConfigFile(configured, file, error)) {
            std::fprintf(stderr, "tarvex-service: %s\n", error.c_str());
            return 2;
        }
    }
    const auto line = readCommandLine(words, configured, error);
    if (!line || !checkCommandLine(*line, error)) {
        std::fprintf(stderr, "tarvex-service: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (inherited.state == InheritedSocket::State::Unusable) {
        std::fprintf(stderr, "tarvex-service: %s\n", inherited.error.c_str());
        return 1;
    }
    try {
        return serve(*line, inherited);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tarvex-service: %s\n", failure.what());
        return 1;
    }
}
