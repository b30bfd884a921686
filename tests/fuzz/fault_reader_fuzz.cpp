// Any bytes as the body of an HTTP 500 answer, read as a SOAP fault; the bytes give the same
// outcome fed whole and in pieces. The first byte chooses the piece size (1 to 64) and whether
// pieces are lent in place or copied.
#include "soap/byte_stream.h"
#include "soap/soap_fault.h"
#include "support/outcome_text.h"
#include "support/piece_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace tarvex;

std::string readOutcome(soap::SaxReader& reader, soap::ByteStream& body) {
    soap::SoapFaultInfo fault;
    const HResult status = soap::parseFault(&body, &reader, fault);
    return test::faultText(status, fault);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const auto reader = soap::createSaxReader();
    const std::size_t piece = (data[0] & 0x3FU) + 1;
    const bool lent = (data[0] & 0x40U) != 0;
    const std::string_view body{reinterpret_cast<const char*>(data) + 1, size - 1};
    soap::MemoryStream whole{body};
    const std::string wholeOutcome = readOutcome(*reader, whole);
    soap::MemoryStream inPlace{body, piece};
    test::PieceStream copied{body, piece};
    if (readOutcome(*reader, lent ? static_cast<soap::ByteStream&>(inPlace) : copied) !=
        wholeOutcome) {
        __builtin_trap();
    }
    return 0;
}
