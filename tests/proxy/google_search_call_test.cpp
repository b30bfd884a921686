// doGoogleSearch and the other operations end to end against a scripted server on 127.0.0.1:
// each case checks the client error state and the result or the fault.
#include "base/code_page.h"
#include "base/sys_string.h"
#include "proxy/google_search.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace tarvex::proxy {
namespace {

using test::ScriptedServer;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kTenResults =
    readFile(std::string{TARVEX_TEST_DIR} + "/proxy/fixtures/historic_style_10_results.xml");
const std::string kInvalidKey =
    readFile(std::string{TARVEX_TEST_DIR} + "/proxy/fixtures/invalid_key_fault.xml");

struct Outcome {
    HResult status;
    ClientError error;
    GoogleSearchResult result;
};

class GoogleSearchCallTest : public ::testing::Test {
protected:
    Outcome search(const std::string& endpoint, std::uint32_t timeoutMs = 0) {
        CGoogleSearch proxy{endpoint};
        proxy.setTimeout(timeoutMs);
        const UniqueSysString key{sysAllocString(u"k&y")};
        const UniqueSysString query{sysAllocString(u"temperature")};
        Outcome outcome{};
        outcome.result.resultElementsCount = -1;
        outcome.status = proxy.doGoogleSearch(key.get(), query.get(), 0, 10, true, nullptr, false,
                                              nullptr, nullptr, nullptr, outcome.result);
        outcome.error = proxy.clientError();
        m_fault = proxy.fault().faultString
                      ? utf16ToCodePage(sysStringView(proxy.fault().faultString.get()))
                      : "";
        m_faultCode = proxy.fault().code;
        return outcome;
    }

    std::string m_fault;
    std::int32_t m_faultCode = 0;
};

TEST_F(GoogleSearchCallTest, TenResultsOverTheWire) {
    ScriptedServer server{{ScriptedServer::answer(
        ScriptedServer::response(200, kTenResults, "Content-Type: text/xml\r\n"))}};
    Outcome outcome = search(server.url());
    ASSERT_EQ(outcome.status, kOk);
    EXPECT_EQ(outcome.error, ClientError::None);
    ASSERT_EQ(outcome.result.resultElementsCount, 10);
    EXPECT_EQ(sysStringView(outcome.result.resultElements[0].URL),
              u"http://example.org/temperature/1?a=1&b=2");
    EXPECT_EQ(outcome.result.estimatedTotalResultsCount, 236000000);
    releaseGoogleSearchResult(outcome.result);

    const std::string request = server.requests().at(0);
    EXPECT_EQ(request.substr(0, 30), "POST /search/beta2 HTTP/1.1\r\nC");
    EXPECT_NE(request.find("\r\nSOAPAction: \"urn:GoogleSearchAction\"\r\nAccept: "
                           "text/xml\r\nHost: 127.0.0.1\r\n"),
              std::string::npos);
    EXPECT_NE(request.find("<key>k&amp;y</key><q>temperature</q>"), std::string::npos);
}

TEST_F(GoogleSearchCallTest, ChunkedAnswer) {
    std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    for (std::size_t at = 0; at < kTenResults.size(); at += 3000) {
        const std::string piece = kTenResults.substr(at, 3000);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        chunked += size + piece + "\r\n";
    }
    chunked += "0\r\n\r\n";
    ScriptedServer server{{ScriptedServer::answer(chunked)}};
    Outcome outcome = search(server.url());
    ASSERT_EQ(outcome.status, kOk);
    EXPECT_EQ(outcome.result.resultElementsCount, 10);
    releaseGoogleSearchResult(outcome.result);
}

TEST_F(GoogleSearchCallTest, FaultsOnStatus500) {
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(500, kInvalidKey))}};
    const Outcome outcome = search(server.url());
    EXPECT_TRUE(failed(outcome.status));
    EXPECT_EQ(outcome.error, ClientError::SoapFault);
    EXPECT_EQ(m_faultCode, 400);
    EXPECT_EQ(m_fault,
              "Exception from service object: Invalid authorization key: 0123456789abcdef");
    EXPECT_EQ(outcome.result.resultElementsCount, -1) << "the result is not touched";

    ScriptedServer garbage{
        {ScriptedServer::answer(ScriptedServer::response(500, "<html>Internal error</html>"))}};
    EXPECT_EQ(search(garbage.url()).error, ClientError::FaultParseFailed);
}

TEST_F(GoogleSearchCallTest, ClientErrorStatesOfTheTransport) {
    const std::pair<std::string, ClientError> cases[] = {
        {ScriptedServer::response(404, "not here"), ClientError::SendFailed},
        {ScriptedServer::response(401, "", "WWW-Authenticate: Basic realm=\"x\"\r\n"),
         ClientError::SendFailed},
        {ScriptedServer::response(407, "", "Proxy-Authenticate: Basic realm=\"x\"\r\n"),
         ClientError::SendFailed},
        {ScriptedServer::response(200, ""), ClientError::ReadFailed},
        {ScriptedServer::response(202, ""), ClientError::ParseFailed},
        {ScriptedServer::response(203, kTenResults), ClientError::ServerError},
        {ScriptedServer::response(302, ""), ClientError::ServerError},
        {ScriptedServer::response(200, "<not-soap/>"), ClientError::ParseFailed},
        {"HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<cut", ClientError::SendFailed},
    };
    for (const auto& [answer, error] : cases) {
        ScriptedServer server{{ScriptedServer::answer(answer)}};
        const Outcome outcome = search(server.url());
        EXPECT_TRUE(failed(outcome.status)) << answer.substr(0, 40);
        EXPECT_EQ(outcome.error, error) << answer.substr(0, 40);
        EXPECT_EQ(outcome.result.resultElementsCount, -1);
    }
}

TEST_F(GoogleSearchCallTest, ConnectionFailuresAreSendFailures) {
    const test::ClosedPort closed;
    EXPECT_EQ(search(closed.url("/search/beta2")).error, ClientError::SendFailed);
    EXPECT_EQ(search("http://no-such-host.invalid/search/beta2").error, ClientError::SendFailed);
    EXPECT_EQ(search("not a url").error, ClientError::SendFailed);
    ScriptedServer silent{
        {ScriptedServer::Answer{{{"HTTP/1.1 200 OK\r\n\r\n", std::chrono::milliseconds{3000}}}}}};
    EXPECT_EQ(search(silent.url(), 200).error, ClientError::SendFailed)
        << "no answer within the timeout";
}

TEST_F(GoogleSearchCallTest, RedirectedSearch) {
    ScriptedServer target{{ScriptedServer::answer(ScriptedServer::response(200, kTenResults))}};
    ScriptedServer first{{ScriptedServer::answer(ScriptedServer::response(
        301, "", "Location: " + target.url() + "\r\nConnection: close\r\n"))}};
    Outcome outcome = search(first.url());
    ASSERT_EQ(outcome.status, kOk);
    EXPECT_EQ(outcome.result.resultElementsCount, 10);
    releaseGoogleSearchResult(outcome.result);
    EXPECT_NE(target.requests().at(0).find("<snp:doGoogleSearch"), std::string::npos);
}

TEST_F(GoogleSearchCallTest, ReaderThatCannotBeCreated) {
    CGoogleSearch proxy{"http://127.0.0.1:1/", [] { return std::unique_ptr<soap::SaxReader>{}; }};
    GoogleSearchResult result{};
    EXPECT_TRUE(failed(proxy.doGoogleSearch(nullptr, nullptr, 0, 10, true, nullptr, false, nullptr,
                                            nullptr, nullptr, result)));
    EXPECT_EQ(proxy.clientError(), ClientError::InitializeFailed);
}

TEST_F(GoogleSearchCallTest, SpellingSuggestionAndCachedPage) {
    const std::string spelling =
        R"(<?xml version='1.0' encoding='UTF-8'?><SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" )"
        R"(xmlns:xsi="http://www.w3.org/1999/XMLSchema-instance" xmlns:xsd="http://www.w3.org/1999/XMLSchema"><SOAP-ENV:Body>)"
        R"(<ns1:doSpellingSuggestionResponse xmlns:ns1="urn:GoogleSearch"><return xsi:type="xsd:string">britney spears</return>)"
        R"(</ns1:doSpellingSuggestionResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>)";
    const std::string cached =
        R"(<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/"><SOAP-ENV:Body>)"
        R"(<ns1:doGetCachedPageResponse xmlns:ns1="urn:GoogleSearch"><return>PGh0bWw+</return>)"
        R"(</ns1:doGetCachedPageResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>)";
    ScriptedServer server{{ScriptedServer::answer(ScriptedServer::response(200, spelling)),
                           ScriptedServer::answer(ScriptedServer::response(200, cached))}};
    CGoogleSearch proxy{server.url()};
    const UniqueSysString key{sysAllocString(u"k")};
    const UniqueSysString phrase{sysAllocString(u"britney speers")};
    SysString suggestion = nullptr;
    ASSERT_EQ(proxy.doSpellingSuggestion(key.get(), phrase.get(), suggestion), kOk)
        << static_cast<int>(proxy.clientError());
    EXPECT_EQ(sysStringView(suggestion), u"britney spears");
    sysFreeString(suggestion);
    soap::XsdBinary page{};
    ASSERT_EQ(proxy.doGetCachedPage(key.get(), phrase.get(), page), kOk)
        << static_cast<int>(proxy.clientError());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(page.data), static_cast<std::size_t>(page.size)),
              "<html>");
    processHeap().release(page.data);
    EXPECT_NE(server.requests().at(0).find(
                  "<snp:doSpellingSuggestion xmlns:snp=\"urn:GoogleSearch\"><key>k</key>"
                  "<phrase>britney speers</phrase>"),
              std::string::npos);
}

} // namespace
} // namespace tarvex::proxy
