#pragma once

#include <string_view>

namespace tarvex::soap {

inline constexpr std::string_view kEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::string_view kEncodingNamespace = "http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr std::string_view kSchemaInstanceNamespace =
    "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view kSchemaNamespace = "http://www.w3.org/2001/XMLSchema";

} // namespace tarvex::soap
