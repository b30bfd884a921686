#pragma once

#include "http/last_note.h"

#include <cstdint>
#include <string_view>

namespace tarvex::http {

// Why an exchange failed, where the status and the client error alone do not tell it, in words a
// user can act on. None where the failure has no name of its own (a refused connection, a
// timeout, a failed handshake: TlsFailure names those).
enum class FailureReason : std::int32_t {
    None = 0,
    ClosedEarly = 1,       // the peer closed (TCP close or close_notify) before the answer ended
    ChunkedCut = 2,        // the same inside a chunked body
    InsecureRedirect = 3,  // a redirect from https to http was refused
    InvalidTlsRecords = 4, // the server's TLS records did not decrypt or parse
    TooLarge = 5,          // the answer is past kMaxResponseBytes
};

// A short phrase for the user ("the chunked body was cut short"); empty for None.
[[nodiscard]] std::string_view failureReasonText(FailureReason reason);

// Where an HTTP client notes how its last exchange ended.
using FailureReasonNote = LastNote<FailureReason>;

} // namespace tarvex::http
