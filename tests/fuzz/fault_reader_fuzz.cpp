// Any bytes as the body of an HTTP 500 answer, read as a SOAP fault.
#include "byte_stream.h"
#include "soap_fault.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvex;
    if (size == 0) {
        return 0;
    }
    static const auto reader = soap::createSaxReader();
    soap::MemoryStream stream{std::string_view{reinterpret_cast<const char*>(data) + 1, size - 1},
                              static_cast<std::size_t>(data[0] % 8)};
    soap::SoapFaultInfo fault;
    (void)soap::parseFault(&stream, reader.get(), fault);
    return 0;
}
