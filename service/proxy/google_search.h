#pragma once

#include "http/failure_reason.h"
#include "http/http_client.h"
#include "http/socket.h"
#include "http/url.h"
#include "proxy/google_search_handler.h"
#include "proxy/google_search_types.h"
#include "soap/sax_reader.h"
#include "soap/soap_fault.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex::proxy {

// Where a call failed, readable after it.
enum class ClientError : std::int32_t {
    None = 0,
    InitializeFailed = 1,
    OutOfMemory = 2,
    GenerateFailed = 3,
    SendFailed = 5,
    ServerError = 6,
    SoapFault = 7,
    FaultParseFailed = 8,
    ReadFailed = 9,
    ParseFailed = 10,
};

// The typed client of the GoogleSearch service: each call writes its request, posts it over
// HTTP and parses the answer (or, on HTTP 500, the fault). One thread uses one proxy.
class CGoogleSearch : public GoogleSearchHandler {
public:
    static constexpr std::string_view kSoapAction = "SOAPAction: \"urn:GoogleSearchAction\"\r\n";

    // The endpoint is parsed once, here; an unusable one makes every call fail to send. Why an
    // exchange failed, where it has a name, goes to `failures` when given.
    explicit CGoogleSearch(std::string_view endpoint,
                           soap::SaxReaderFactory readers = soap::createSaxReader,
                           http::SocketFactory sockets = http::createSocketFor,
                           std::shared_ptr<http::FailureReasonNote> failures = {});

    // On success `result` receives the whole answer, whose strings and arrays then belong to
    // the caller; on failure it is not touched.
    [[nodiscard]] HResult doGoogleSearch(SysString key, SysString q, std::int32_t start,
                                         std::int32_t maxResults, bool filter, SysString restrict,
                                         bool safeSearch, SysString lr, SysString ie, SysString oe,
                                         GoogleSearchResult& result);
    [[nodiscard]] HResult doSpellingSuggestion(SysString key, SysString phrase, SysString& result);
    [[nodiscard]] HResult doGetCachedPage(SysString key, SysString url, soap::XsdBinary& result);

    [[nodiscard]] ClientError clientError() const { return m_clientError; }
    [[nodiscard]] const soap::SoapFaultInfo& fault() const { return m_fault; }
    // The HTTP side of the last exchange: its status, socket error and named failure.
    [[nodiscard]] const http::HttpClient& transport() const { return m_http; }
    // Replaces the 10 000 ms wait of every send and receive; 0 keeps it.
    void setTimeout(std::uint32_t milliseconds) { m_timeoutMs = milliseconds; }

private:
    // The steps every operation shares, around its parameter record.
    template <class Params>
    [[nodiscard]] HResult call(std::int32_t operationIndex, Params& params);
    [[nodiscard]] HResult sendSoapRequest();

    std::optional<http::Url> m_endpoint;
    soap::SaxReaderFactory m_readers;
    std::unique_ptr<soap::SaxReader> m_reader;
    http::HttpClient m_http;
    soap::StringSink m_request;
    std::string_view m_responseBody;
    bool m_haveResponseBody = false;
    soap::SoapFaultInfo m_fault;
    ClientError m_clientError = ClientError::None;
    std::uint32_t m_timeoutMs = 0;
};

} // namespace tarvex::proxy
