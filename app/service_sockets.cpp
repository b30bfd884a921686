#include "app/service_sockets.h"

namespace tarvex::app {

std::optional<ServiceSockets> serviceSockets(const std::string& trustFile, std::string& error) {
    // Without a trust file the system's store is read at the first https connection, if any.
    std::shared_ptr<const http::TlsTrust> trust;
    if (!trustFile.empty()) {
        trust = http::TlsTrust::create(trustFile, error);
        if (!trust) {
            if (error.empty()) {
                error = "TLS cannot be set up";
            }
            return std::nullopt;
        }
    }
    auto failures = std::make_shared<http::TlsFailureNote>();
    return ServiceSockets{http::makeSocketFactory(std::move(trust), failures), failures,
                          std::make_shared<http::FailureReasonNote>()};
}

std::string failureText(const ServiceSockets& sockets) {
    if (const http::TlsFailure failure = sockets.failures->last();
        failure != http::TlsFailure::None) {
        std::string text{http::tlsFailureName(failure)};
        return text.append(": ").append(http::tlsFailureText(failure));
    }
    if (const http::FailureReason reason = sockets.reasons->last();
        reason != http::FailureReason::None) {
        return std::string{http::failureReasonText(reason)};
    }
    return {};
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

} // namespace tarvex::app
