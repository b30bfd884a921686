#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::soap {

// Lenient decimal readers in the manner of the C library conversions: leading white space
// skipped, an optional sign, then as many digits as stand there; anything after is ignored and
// no digits read as 0. Only ASCII counts; any other character ends the number.

// Accumulated in 32 bits with wrap-around.
[[nodiscard]] std::int32_t readInt32Wrapping(std::u16string_view text);
// A "-" negates modulo 2^32; overflow gives 0xFFFFFFFF.
[[nodiscard]] std::uint32_t readUnsigned32(std::u16string_view text);
// Overflow clamps to the 64-bit limits.
[[nodiscard]] std::int64_t readInt64(std::u16string_view text);
// A "-" negates modulo 2^64; overflow gives the maximum.
[[nodiscard]] std::uint64_t readUnsigned64(std::u16string_view text);

enum class DoubleRead { Ok, Overflow, Underflow };
// Digits with an optional fraction and exponent. On overflow `value` is the signed infinity, on
// underflow 0.
[[nodiscard]] DoubleRead readDouble(std::u16string_view text, double& value);

// The shortest digits that read back as the same value (at most 17 significant digits); plain
// notation for magnitudes of 0.1 and more, else the form "5.e-002"; fraction zeros and a last "."
// dropped; "NaN", "INF", "-INF", "-0" for the specials.
[[nodiscard]] std::string formatDouble(double value);

} // namespace tarvex::soap
