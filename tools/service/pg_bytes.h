#pragma once

#include <string>
#include <string_view>

namespace tarvex::search {

// Any bytes as a statement parameter for decode($n, 'hex'): text parameters end at a zero byte
// and must be valid UTF-8, bytes may be anything.
[[nodiscard]] std::string pgHex(std::string_view bytes);

// The bytes of a bytea field as the server sends it in text ("\x" and hex digits). Throws
// std::runtime_error when it is not.
[[nodiscard]] std::string pgBytes(std::string_view field);

} // namespace tarvex::search
