// A ten-result doGoogleSearch response parsed through the whole response side (SAX layer,
// parser, codecs, release), against a bare libxml2 SAX2 pass over the same bytes with empty
// callbacks. The second benchmark reports its time as a ratio to the first.
#include "byte_stream.h"
#include "google_search_handler.h"
#include "sax_reader.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace tarvex;

const std::string& response() {
    static const std::string text = [] {
        std::ifstream in(TARVEX_RESPONSE_FIXTURE, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }();
    return text;
}

double bareNanoseconds = 0;

void startElement(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
                  const xmlChar**) {}
void endElement(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void characters(void*, const xmlChar*, int) {}

void bareLibxml2Pass(benchmark::State& state) {
    const std::string& text = response();
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = startElement;
    sax.endElementNs = endElement;
    sax.characters = characters;
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
        xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOENT);
        benchmark::DoNotOptimize(xmlParseChunk(context, text.data(), static_cast<int>(text.size()), 1));
        xmlFreeParserCtxt(context);
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - begin;
    bareNanoseconds = elapsed.count() / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(bareLibxml2Pass);

void wholeResponseSide(benchmark::State& state) {
    const std::string& text = response();
    const auto reader = soap::createSaxReader();
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        soap::MemoryStream stream{text};
        proxy::GoogleSearchResult result{};
        if (failed(proxy::parseDoGoogleSearchResponse(*reader, stream, result))) {
            state.SkipWithError("the response did not parse");
            return;
        }
        benchmark::DoNotOptimize(result.resultElements);
        proxy::releaseGoogleSearchResult(result);
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - begin;
    const double machinery = elapsed.count() / static_cast<double>(state.iterations());
    if (bareNanoseconds > 0) {
        state.counters["ratio_to_bare"] = machinery / bareNanoseconds;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(wholeResponseSide);

} // namespace

BENCHMARK_MAIN();
