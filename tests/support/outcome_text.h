#pragma once

#include "base/status.h"
#include "base/sys_string.h"
#include "soap/soap_fault.h"

#include <cstdio>
#include <string>

namespace tarvex::test {

// Texts that say exactly what a parse produced, so that two outcomes compare as strings and a
// difference prints readably.

// A system string with every code unit outside printable ASCII as \uXXXX; "null" when absent,
// "" when empty, so that the two stay apart.
[[nodiscard]] inline std::string utf16Text(const char16_t* text) {
    if (text == nullptr) {
        return "null";
    }
    std::string out = "\"";
    for (const char16_t unit : sysStringView(text)) {
        if (unit >= 0x20 && unit < 0x7F && unit != '\\' && unit != '"') {
            out.push_back(static_cast<char>(unit));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
            out += escaped;
        }
    }
    return out + "\"";
}

[[nodiscard]] inline std::string statusText(HResult status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
    return text;
}

// The status and every field of a fault read.
[[nodiscard]] inline std::string faultText(HResult status, const soap::SoapFaultInfo& fault) {
    return statusText(status) + " code=" + std::to_string(fault.code) +
           " faultcode=" + utf16Text(fault.faultCode.get()) +
           " faultstring=" + utf16Text(fault.faultString.get()) +
           " faultactor=" + utf16Text(fault.faultActor.get()) +
           " detail=" + utf16Text(fault.detail.get());
}

} // namespace tarvex::test
