#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvex::shell {

// Thrown for a key or a buffer of the wrong length.
class CipherError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The Blowfish block cipher (64-bit blocks, 16 rounds, keys of 1 to 56 bytes). A block of 8
// bytes is two 32-bit words, most significant byte first.
class BlowfishCipher {
public:
    enum class Mode { Ecb = 0, Cbc = 1, Cfb = 2 };

    struct Block {
        std::uint32_t left = 0;
        std::uint32_t right = 0;
    };

    // Keys the cipher; a key past 56 bytes counts with its first 56. Throws CipherError
    // ("Incorrect key length") for an empty key.
    void SetKey(const std::uint8_t* key, std::size_t length, Block initialVector);
    // The same with an all-zero initial vector.
    void SetKey(const std::uint8_t* key, std::size_t length);

    void EncryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void DecryptBlock(std::uint32_t& left, std::uint32_t& right) const;

    // Deciphers `length` bytes; every call starts from the initial vector. Throws CipherError
    // ("Incorrect buffer length") unless `length` is a non-zero multiple of 8.
    void Decrypt(const std::uint8_t* input, std::uint8_t* output, std::size_t length,
                 Mode mode) const;

private:
    [[nodiscard]] std::uint32_t round(std::uint32_t x) const;

    Block m_initial;
    Block m_chain;
    std::array<std::uint32_t, 18> m_p{};
    std::array<std::array<std::uint32_t, 256>, 4> m_s{};
};

// Deciphers one of the program's stored texts: ECB under the text key, at most 1024 bytes, up
// to the first zero byte, with the filler "~" removed.
[[nodiscard]] std::string DecodeStoredText(const std::uint8_t* data, std::size_t length);

// The key of the stored texts: 8 capital letters and digits.
inline constexpr char kStoredTextKey[] = "K7RV2QXM";

} // namespace tarvex::shell
