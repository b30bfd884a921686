#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// Text inside the program is 8-bit text in the process's code page, which is UTF-8 here; the
// service client speaks UTF-16. These are the only two conversions between them.

// Each ill-formed UTF-8 sequence becomes one U+FFFD.
[[nodiscard]] std::u16string codePageToUtf16(std::string_view text);
// The same, appended to `out` (whose storage is reused across calls).
void appendCodePageAsUtf16(std::string_view text, std::u16string& out);
// Each unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string utf16ToCodePage(std::u16string_view text);
// UTF-16 stored as little-endian bytes (an odd last byte is ignored), up to its first zero
// unit, into `out` with one allocation at most.
void utf16BytesToCodePage(std::string_view littleEndian, std::string& out);

} // namespace tarvex
