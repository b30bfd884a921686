#pragma once

#include <string_view>

// Pieces of the HTTP grammar the request parser checks fields and chunk lines against.
namespace tarvex::search {

// RFC 9110 5.6.2: the characters of a token, and a token (at least one of them).
[[nodiscard]] bool isTokenChar(char c);
[[nodiscard]] bool isToken(std::string_view text);
// RFC 9112 7.1.1: what follows a chunk's size, as a list of extensions (blanks at its end
// allowed). Extensions are not acted on, but a malformed one makes the chunk malformed.
[[nodiscard]] bool isChunkExtensionList(std::string_view rest);
// RFC 9110 7.2: a Host field's value, uri-host [ ":" port ]; empty is allowed.
[[nodiscard]] bool isHostValue(std::string_view value);

} // namespace tarvex::search
