#pragma once

#include "base/status.h"
#include "base/sys_string.h"
#include "soap/byte_stream.h"
#include "soap/sax_reader.h"

#include <cstdint>

namespace tarvex::soap {

// A SOAP 1.1 Fault as read from a response body. Texts are null until their element arrives.
struct SoapFaultInfo {
    std::int32_t code = 0; // 0 until a known fault code is read
    UniqueSysString faultCode;
    UniqueSysString faultString;
    UniqueSysString faultActor;
    UniqueSysString detail;

    void clear() { *this = SoapFaultInfo{}; }
};

// SOAP 1.1 4.4.1: the four fault codes, by their local part.
inline constexpr std::int32_t kFaultVersionMismatch = 100;
inline constexpr std::int32_t kFaultMustUnderstand = 200;
inline constexpr std::int32_t kFaultClient = 300;
inline constexpr std::int32_t kFaultServer = 400;

// Reads a Fault message from `stream` into `info`. Without a `reader` one is created for the
// call. A null stream is an invalid argument.
[[nodiscard]] HResult parseFault(ByteStream* stream, SaxReader* reader, SoapFaultInfo& info);

} // namespace tarvex::soap
