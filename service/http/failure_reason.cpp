#include "http/failure_reason.h"

#include "http/http_response.h"

namespace tarvex::http {

static_assert(kMaxResponseBytes == std::size_t{64} << 20, "the TooLarge text names the cap");

std::string_view failureReasonText(FailureReason reason) {
    switch (reason) {
    case FailureReason::None:
        return "";
    case FailureReason::ClosedEarly:
        return "the connection closed before the whole answer arrived";
    case FailureReason::ChunkedCut:
        return "the chunked body was cut short";
    case FailureReason::InsecureRedirect:
        return "refused a redirect from https to http";
    case FailureReason::InvalidTlsRecords:
        return "the TLS records were not valid";
    case FailureReason::TooLarge:
        return "the answer is larger than 64 MiB";
    }
    return "";
}

} // namespace tarvex::http
