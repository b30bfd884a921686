#pragma once

#include "base/status.h"
#include "soap/output_sink.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvex::soap {

// Element content: "&", "<", ">" become entities. Attribute mode also turns the double quote
// and the apostrophe into entities. Either way every character outside printable ASCII becomes
// a hexadecimal character reference, so the result is printable ASCII only.
enum class EscapeMode { Content, Attribute };

[[nodiscard]] std::size_t escapedLength(std::u16string_view text, EscapeMode mode);
[[nodiscard]] std::string escapeXml(std::u16string_view text, EscapeMode mode);
[[nodiscard]] HResult writeEscaped(OutputSink& sink, std::u16string_view text, EscapeMode mode);

} // namespace tarvex::soap
