#pragma once

#include "base/status.h"
#include "proxy/google_search_types.h"
#include "soap/soap_fault.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

namespace tarvex::cli {

// JSON forms of what the service answers; keys are the wire names, absent strings are null.
[[nodiscard]] nlohmann::ordered_json toJson(const proxy::GoogleSearchResult& result);
[[nodiscard]] nlohmann::ordered_json toJson(const soap::SoapFaultInfo& fault);
// The result as JSON laid out as nlohmann's dump(2), and a new line, written as it goes: no
// text is held twice. toJson(result) is what it writes, read back.
void writeJson(std::ostream& out, const proxy::GoogleSearchResult& result);
[[nodiscard]] nlohmann::ordered_json stringOrNull(const char16_t* text);
[[nodiscard]] std::string base64Text(const soap::XsdBinary& block);
// "0x80004005"
[[nodiscard]] std::string statusText(HResult status);

} // namespace tarvex::cli
