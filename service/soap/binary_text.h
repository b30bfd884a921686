#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvex::soap {

// RFC 4648 4 base64 with "=" padding, a CR LF after every full line of 76 characters.
inline constexpr std::size_t kBase64LineLength = 76;

// Scratch size for the encoding of `bytes` bytes, room for the line breaks included.
[[nodiscard]] std::size_t base64ScratchSize(std::size_t bytes);
// Encodes into `out` (at least base64ScratchSize bytes); returns the characters written.
[[nodiscard]] std::size_t base64Encode(const std::uint8_t* data, std::size_t bytes, char* out);

// Bytes that `text` decodes to: every 4 alphabet characters give 3 bytes, a last group of k
// gives 6k/8; characters outside the alphabet (padding, white space) are skipped.
[[nodiscard]] std::size_t base64DecodedSize(std::u16string_view text);
// Decodes into `out` (at least base64DecodedSize bytes); returns the bytes written.
std::size_t base64Decode(std::u16string_view text, std::uint8_t* out);

// Upper-case hex digits, two per byte.
void hexEncode(const std::uint8_t* data, std::size_t bytes, char* out);
// Pairs of hex digits, either case. False, with nothing written, for any other character or an
// odd count of digits.
[[nodiscard]] bool hexDecode(std::u16string_view text, std::uint8_t* out);

} // namespace tarvex::soap
