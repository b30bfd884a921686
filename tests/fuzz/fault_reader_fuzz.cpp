// Any bytes as the body of an HTTP 500 answer, read as a SOAP fault; the bytes give the same
// outcome fed whole and in pieces. The first byte chooses the piece size (1 to 64) and whether
// pieces are lent in place or copied.
#include "fuzz/whole_vs_pieces.h"
#include "soap/soap_fault.h"
#include "support/outcome_text.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace tarvex;

std::string readOutcome(soap::SaxReader& reader, soap::ByteStream& body) {
    soap::SoapFaultInfo fault;
    const HResult status = soap::parseFault(&body, &reader, fault);
    return test::faultText(status, fault);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto reader = soap::createSaxReader();
    fuzz::checkStreamWholeVsPieces(
        data, size, [](soap::ByteStream& body) { return readOutcome(*reader, body); });
    return 0;
}
