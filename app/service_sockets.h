#pragma once

#include "http/failure_reason.h"
#include "http/socket.h"
#include "http/tls_socket.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tarvex::app {

// The sockets of a command that calls the service: https trusts the system's store and the
// trust file, and how a handshake failed is noted so that the command can say it. The command's
// proxies note in `reasons` why an exchange failed.
struct ServiceSockets {
    http::SocketFactory factory;
    std::shared_ptr<http::TlsFailureNote> failures;
    std::shared_ptr<http::FailureReasonNote> reasons;
};

// Empty, with `error` set, when a trust file is named and holds no certificate that loads.
[[nodiscard]] std::optional<ServiceSockets> serviceSockets(const std::string& trustFile,
                                                           std::string& error);

// Why the last exchange failed: "NAME: TEXT" of a failed handshake, else the named reason; empty
// when neither is known.
[[nodiscard]] std::string failureText(const ServiceSockets& sockets);

// "COMMAND: NAME: TEXT" on `err` when the last handshake failed; false when none did.
bool reportTlsFailure(const ServiceSockets& sockets, std::string_view command, std::ostream& err);
// "COMMAND: REASON" on `err` when the last exchange failed for a named reason; false otherwise.
bool reportFailureReason(const ServiceSockets& sockets, std::string_view command,
                         std::ostream& err);

} // namespace tarvex::app
