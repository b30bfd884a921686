#include "proxy/google_search.h"

#include "proxy/google_search_maps.h"
#include "soap/byte_stream.h"

namespace tarvex::proxy {

CGoogleSearch::CGoogleSearch(std::string_view endpoint, soap::SaxReaderFactory readers,
                             http::SocketFactory sockets,
                             std::shared_ptr<http::FailureReasonNote> failures)
    : GoogleSearchHandler(processHeap()), m_endpoint(http::parseUrl(endpoint)),
      m_readers(std::move(readers)),
      m_http(std::move(sockets), http::steadyClock(), std::move(failures)) {}

HResult CGoogleSearch::sendSoapRequest() {
    m_haveResponseBody = false;
    if (!m_endpoint) {
        m_clientError = ClientError::SendFailed;
        return kFail;
    }
    http::RequestSettings settings;
    settings.extraHeaders = std::string{kSoapAction} + "Accept: text/xml\r\n";
    settings.method = "POST";
    settings.contentType = "text/xml";
    settings.body = m_request.text();
    settings.flags = http::RequestSettings::kFollowRedirects | http::RequestSettings::kJudgeStatus |
                     http::RequestSettings::kSendInBlocks;
    settings.timeoutMs = m_timeoutMs != 0 ? m_timeoutMs : http::kDefaultTimeoutMs;
    settings.sendBlockSize = 4096;
    settings.readBlockSize = 4096;
    settings.port = m_endpoint->port != 0 ? m_endpoint->port : http::kHttpPort;

    const bool ok = m_http.navigate(*m_endpoint, settings);
    const http::HttpResponse& response = m_http.response();
    if (ok) {
        if (response.status == 200) {
            if (response.body.empty()) {
                m_clientError = ClientError::ReadFailed;
                return kFail;
            }
            m_responseBody = response.body;
            m_haveResponseBody = true;
            return kOk;
        }
        if (response.status == 202) {
            return kOk;
        }
        m_clientError = ClientError::ServerError;
        return kFail;
    }
    if (response.status == 500 && response.lastResult == http::ReadResult::Done) {
        // SOAP 1.1 6.2: a fault comes back with status 500.
        m_clientError = ClientError::SoapFault;
        soap::MemoryStream stream{response.body};
        if (failed(soap::parseFault(&stream, m_reader.get(), m_fault))) {
            m_clientError = ClientError::FaultParseFailed;
        }
        m_reader->setContentHandler(this);
        return kFail;
    }
    m_clientError = ClientError::SendFailed;
    return kFail;
}

template <class Params>
HResult CGoogleSearch::call(std::int32_t operationIndex, Params& params) {
    // The reader, created at the first call, with this handler attached.
    if (!m_reader) {
        m_reader = m_readers ? m_readers() : nullptr;
        if (!m_reader) {
            m_clientError = ClientError::InitializeFailed;
            return kFail;
        }
    }
    m_reader->setContentHandler(this);
    // A clean client side.
    m_request.clear();
    m_fault.clear();
    m_clientError = ClientError::None;
    m_haveResponseBody = false;

    // The first parse state names the operation.
    HResult status = beginCall(operationIndex, &params);
    if (failed(status)) {
        m_clientError = ClientError::OutOfMemory;
    }
    // The request envelope.
    if (!failed(status)) {
        status = generateRequest(m_request);
        if (failed(status)) {
            m_clientError = ClientError::GenerateFailed;
        }
    }
    // The exchange; the transport sets the error state.
    if (!failed(status)) {
        status = sendSoapRequest();
    }
    // The answer into the record.
    if (!failed(status)) {
        cleanup();
        soap::MemoryStream stream{m_haveResponseBody ? m_responseBody : std::string_view{}};
        status = beginParse(*m_reader, stream);
        if (failed(status)) {
            m_clientError = ClientError::ParseFailed;
            cleanup();
        }
    }
    // The caller resets the client state once it has taken the return value.
    return status;
}

HResult CGoogleSearch::doGoogleSearch(SysString key, SysString q, std::int32_t start,
                                      std::int32_t maxResults, bool filter, SysString restrict,
                                      bool safeSearch, SysString lr, SysString ie, SysString oe,
                                      GoogleSearchResult& result) {
    DoGoogleSearchArgs args;
    args.key = key;
    args.q = q;
    args.start = start;
    args.maxResults = maxResults;
    args.filter = filter;
    args.restrict = restrict;
    args.safeSearch = safeSearch;
    args.lr = lr;
    args.ie = ie;
    args.oe = oe;
    DoGoogleSearchParams params{};
    fillDoGoogleSearchParams(args, params);
    const HResult status = call(kDoGoogleSearchIndex, params);
    if (!failed(status)) {
        result = params.returnValue;
    }
    endCall();
    return status;
}

HResult CGoogleSearch::doSpellingSuggestion(SysString key, SysString phrase, SysString& result) {
    DoSpellingSuggestionParams params{key, phrase, nullptr};
    const HResult status = call(kDoSpellingSuggestionIndex, params);
    if (!failed(status)) {
        result = params.returnValue;
    }
    endCall();
    return status;
}

HResult CGoogleSearch::doGetCachedPage(SysString key, SysString url, soap::XsdBinary& result) {
    DoGetCachedPageParams params{key, url, soap::XsdBinary{0, nullptr}};
    const HResult status = call(kDoGetCachedPageIndex, params);
    if (!failed(status)) {
        result = params.returnValue;
    }
    endCall();
    return status;
}

} // namespace tarvex::proxy
