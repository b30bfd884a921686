// A doGoogleSearch response parsed through the whole response side (SAX layer, parser, codecs,
// release), against a bare libxml2 SAX2 pass over the same bytes with empty callbacks. The
// paired benchmark runs both in every iteration, so that drift of the machine touches both
// alike, and reports their ratio.
//
//   parse_bench [FILE] [benchmark flags]
//
// FILE is the response body to parse (a response saved from a real server, say); without it, a
// ten-result response of the tests.
#include "proxy/google_search_handler.h"
#include "soap/byte_stream.h"
#include "soap/sax_reader.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

using namespace tarvex;
using Clock = std::chrono::steady_clock;

std::string& responseFile() {
    static std::string path = TARVEX_RESPONSE_FIXTURE;
    return path;
}

const std::string& response() {
    static const std::string text = [] {
        std::ifstream in(responseFile(), std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }();
    return text;
}

void startElement(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int,
                  int, const xmlChar**) {}
void endElement(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void characters(void*, const xmlChar*, int) {}

void bareLibxml2(const std::string& text) {
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = startElement;
    sax.endElementNs = endElement;
    sax.characters = characters;
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOENT);
    benchmark::DoNotOptimize(xmlParseChunk(context, text.data(), static_cast<int>(text.size()), 1));
    xmlFreeParserCtxt(context);
}

// Parses into `result`, which the caller releases.
bool wholeMachinery(const std::string& text, soap::SaxReader& reader,
                    proxy::GoogleSearchResult& result) {
    soap::MemoryStream stream{text};
    result = proxy::GoogleSearchResult{};
    if (failed(proxy::parseDoGoogleSearchResponse(reader, stream, result))) {
        return false;
    }
    benchmark::DoNotOptimize(result.resultElements);
    return true;
}

void bareLibxml2Pass(benchmark::State& state) {
    const std::string& text = response();
    for (auto _ : state) {
        bareLibxml2(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(bareLibxml2Pass);

void wholeResponseSide(benchmark::State& state) {
    const std::string& text = response();
    const auto reader = soap::createSaxReader();
    for (auto _ : state) {
        proxy::GoogleSearchResult result;
        if (!wholeMachinery(text, *reader, result)) {
            state.SkipWithError("the response did not parse");
            return;
        }
        proxy::releaseGoogleSearchResult(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(wholeResponseSide);

void responseSideVersusBare(benchmark::State& state) {
    const std::string& text = response();
    const auto reader = soap::createSaxReader();
    Clock::duration bare{};
    Clock::duration parse{};
    Clock::duration release{};
    for (auto _ : state) {
        const auto start = Clock::now();
        bareLibxml2(text);
        const auto parsing = Clock::now();
        proxy::GoogleSearchResult result;
        if (!wholeMachinery(text, *reader, result)) {
            state.SkipWithError("the response did not parse");
            return;
        }
        const auto releasing = Clock::now();
        proxy::releaseGoogleSearchResult(result);
        const auto end = Clock::now();
        bare += parsing - start;
        parse += releasing - parsing;
        release += end - releasing;
    }
    const auto micros = [&state](Clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count() /
               static_cast<double>(state.iterations());
    };
    state.counters["bare_us"] = micros(bare);
    state.counters["parse_us"] = micros(parse);
    state.counters["release_us"] = micros(release);
    // The parse against the bare pass, and the parse with the release of what it built.
    state.counters["ratio"] = micros(parse) / micros(bare);
    state.counters["ratio_with_release"] = (micros(parse) + micros(release)) / micros(bare);
}
BENCHMARK(responseSideVersusBare)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    // A first word that is no flag names the response file.
    if (argc > 1 && !std::string_view{argv[1]}.starts_with("--")) {
        responseFile() = argv[1];
        std::ifstream in(responseFile(), std::ios::binary);
        if (!in) {
            std::cerr << "parse_bench: cannot read " << responseFile() << '\n';
            return 2;
        }
        std::copy(argv + 2, argv + argc, argv + 1);
        --argc;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::AddCustomContext("response", responseFile() + " (" +
                                                std::to_string(response().size()) + " bytes)");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
