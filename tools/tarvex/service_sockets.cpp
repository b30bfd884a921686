#include "tarvex/service_sockets.h"

namespace tarvex::cli {

std::optional<ServiceSockets> serviceSockets(const std::string& trustFile, std::string& error) {
    auto trust =
        trustFile.empty() ? http::TlsTrust::system() : http::TlsTrust::create(trustFile, error);
    if (!trust) {
        if (error.empty()) {
            error = "TLS cannot be set up";
        }
        return std::nullopt;
    }
    auto failures = std::make_shared<http::TlsFailureNote>();
    return ServiceSockets{http::makeSocketFactory(std::move(trust), failures), failures,
                          std::make_shared<http::FailureReasonNote>()};
}

bool reportTlsFailure(const ServiceSockets& sockets, std::string_view command, std::ostream& err) {
    const http::TlsFailure failure = sockets.failures->last();
    if (failure == http::TlsFailure::None) {
        return false;
    }
    err << command << ": " << http::tlsFailureName(failure) << ": " << http::tlsFailureText(failure)
        << '\n';
    return true;
}

bool reportFailureReason(const ServiceSockets& sockets, std::string_view command,
                         std::ostream& err) {
    const http::FailureReason reason = sockets.reasons->last();
    if (reason == http::FailureReason::None) {
        return false;
    }
    err << command << ": " << http::failureReasonText(reason) << '\n';
    return true;
}

} // namespace tarvex::cli
