#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace tarvex {

// Length-prefixed UTF-16 strings, as the records of the service client hold them: the pointer
// addresses the first code unit, the byte length sits just before it, and a 0 code unit follows
// the text. A null pointer means "absent".
using SysString = char16_t*;

// A new string holding `length` code units copied from `text` (zeroed when `text` is null).
// Null when memory cannot be had.
[[nodiscard]] SysString sysAllocStringLen(const char16_t* text, std::uint32_t length);
[[nodiscard]] SysString sysAllocString(std::u16string_view text);
void sysFreeString(SysString text);
// Code units in the string; 0 for null.
[[nodiscard]] std::uint32_t sysStringLen(const char16_t* text);

[[nodiscard]] inline std::u16string_view sysStringView(const char16_t* text) {
    return text == nullptr ? std::u16string_view{} : std::u16string_view{text, sysStringLen(text)};
}

struct SysStringDeleter {
    void operator()(char16_t* text) const { sysFreeString(text); }
};
using UniqueSysString = std::unique_ptr<char16_t, SysStringDeleter>;

} // namespace tarvex
