// tarvex-service: a local search service that answers the Tarvex client's SOAP calls.
#include "service/command_line.h"
#include "service/corpus_source.h"
#include "service/http_front.h"
#include "service/search_index.h"
#include "service/search_service.h"
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

namespace {

using namespace tarvex::search;

int serve(const CommandLine& line) {
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
    auto corpus = loadCorpus(line.corpus, error);
    if (!corpus) {
        std::fprintf(stderr, "tarvex-service: %s\n", error.c_str());
        return 2;
    }
    const std::size_t documents = corpus->documents.size();
    const SearchIndex index{std::move(corpus->documents), line.threads};
    const WebPages pages{index, KeyRules{options.keys.has_value(), options.quota}};
    SearchService service{index, std::move(options)};
    std::unique_ptr<TlsServerContext> tls;
    if (line.certificate) {
        tls = TlsServerContext::load(*line.certificate, *line.key, error);
        if (!tls) {
            std::fprintf(stderr, "tarvex-service: %s\n", error.c_str());
            return 2;
        }
        // OpenSSL writes with write(): a client gone mid-answer must not end the service.
        std::signal(SIGPIPE, SIG_IGN);
    }
    HttpFront front{service, pages, stderr, line.threads, line.connections, tls.get()};
    const int port = front.bind(line.host, line.port);
    if (port < 0) {
        std::fprintf(stderr, "tarvex-service: cannot listen on %s:%d\n", line.host.c_str(),
                     line.port);
        return 1;
    }
    const bool ipv6 = line.host.find(':') != std::string::npos;
    std::printf("%s://%s%s%s:%d%s\n", tls ? "https" : "http", ipv6 ? "[" : "", line.host.c_str(),
                ipv6 ? "]" : "", port, HttpFront::kPath);
    std::fflush(stdout);
    std::fprintf(stderr, "tarvex-service: %zu documents from %s\n", documents,
                 corpus->source.c_str());

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
    const bool served = front.run();
    finished = true;
    kill(getpid(), SIGTERM); // ends the wait if the server stopped itself
    waiter.join();
    std::fprintf(stderr, "tarvex-service: stopped\n");
    return served ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Blocked before any thread starts, so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::string error;
    const auto line = readCommandLine({argv + 1, argv + argc}, error);
    if (!line) {
        std::fprintf(stderr, "tarvex-service: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (line->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        return serve(*line);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tarvex-service: %s\n", failure.what());
        return 1;
    }
}
