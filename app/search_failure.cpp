#include "app/search_failure.h"

#include "base/code_page.h"
#include "base/sys_string.h"

#include <cerrno>
#include <system_error>

namespace tarvex::app {
namespace {

// One line of at most kMaxFailureText bytes: a service's text may be long or hold line breaks.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    if (text.size() > kMaxFailureText) {
        text.resize(kMaxFailureText - 3);
        text += "...";
    }
    return text;
}

std::string transportText(const http::HttpClient& transport) {
    if (const std::int32_t status = transport.response().status; status > 0) {
        return "HTTP status " + std::to_string(status);
    }
    if (const auto reason = failureReasonText(transport.failureReason()); !reason.empty()) {
        return std::string{reason};
    }
    switch (const int error = transport.lastSocketError(); error) {
    case 0:
        return "no answer from the service";
    case ECONNREFUSED:
        return "connection refused";
    case ETIMEDOUT:
        return "timed out";
    default:
        return std::generic_category().message(error);
    }
}

} // namespace

std::string searchFailureText(const proxy::CGoogleSearch& proxy) {
    using proxy::ClientError;
    switch (proxy.clientError()) {
    case ClientError::None:
        return {};
    case ClientError::SoapFault:
        if (const char16_t* fault = proxy.fault().faultString.get(); fault != nullptr) {
            return oneLine("SOAP fault: " + utf16ToCodePage(sysStringView(fault)));
        }
        return "SOAP fault";
    case ClientError::ServerError:
    case ClientError::FaultParseFailed:
    case ClientError::SendFailed:
        return oneLine(transportText(proxy.transport()));
    case ClientError::ReadFailed:
        return "the service sent an empty answer";
    case ClientError::ParseFailed:
        return "the service's answer was not understood";
    case ClientError::InitializeFailed:
    case ClientError::OutOfMemory:
    case ClientError::GenerateFailed:
        return "the request could not be made";
    }
    return {};
}

} // namespace tarvex::app
