#pragma once

#include "shell/blowfish_cipher.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex::shell::test {

// Enciphers `text` padded with "~" to `length` bytes under the stored-text key, as the brand
// texts are stored (the program itself never enciphers).
inline std::vector<std::uint8_t> storedText(std::string text, std::size_t length) {
    if (text.size() > length) {
        throw std::length_error("a stored text longer than its place: " + text);
    }
    text.resize(length, '~');
    BlowfishCipher cipher;
    cipher.SetKey(reinterpret_cast<const std::uint8_t*>(kStoredTextKey), 8);
    std::vector<std::uint8_t> out(text.begin(), text.end());
    for (std::size_t at = 0; at + 8 <= out.size(); at += 8) {
        const auto word = [&out](std::size_t i) {
            return (std::uint32_t{out[i]} << 24) | (std::uint32_t{out[i + 1]} << 16) |
                   (std::uint32_t{out[i + 2]} << 8) | out[i + 3];
        };
        std::uint32_t left = word(at);
        std::uint32_t right = word(at + 4);
        cipher.EncryptBlock(left, right);
        for (int k = 0; k < 4; ++k) {
            out[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(left >> (24 - 8 * k));
            out[at + 4 + static_cast<std::size_t>(k)] =
                static_cast<std::uint8_t>(right >> (24 - 8 * k));
        }
    }
    return out;
}

} // namespace tarvex::shell::test
