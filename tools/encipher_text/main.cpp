// Enciphers brand texts for the program's brand block: each argument pair TEXT LENGTH is padded
// with "~" to LENGTH bytes and enciphered with the stored-text key, printed as a C++ initializer.
// The program itself only deciphers.
#include "shell/blowfish_cipher.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using tarvex::shell::BlowfishCipher;
    BlowfishCipher cipher;
    cipher.SetKey(reinterpret_cast<const std::uint8_t*>(tarvex::shell::kStoredTextKey), 8);
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string text = argv[i];
        const std::size_t length = std::strtoul(argv[i + 1], nullptr, 10);
        if (length == 0 || length % 8 != 0 || text.size() > length ||
            text.find('~') != std::string::npos) {
            std::fprintf(stderr, "encipher_text: '%s' does not fit %zu bytes\n", text.c_str(),
                         length);
            return 2;
        }
        text.resize(length, '~');
        std::printf("// %zu bytes\n{", length);
        for (std::size_t at = 0; at < length; at += 8) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(text.data() + at);
            std::uint32_t left = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                                 (std::uint32_t{bytes[2]} << 8) | bytes[3];
            std::uint32_t right = (std::uint32_t{bytes[4]} << 24) |
                                  (std::uint32_t{bytes[5]} << 16) | (std::uint32_t{bytes[6]} << 8) |
                                  bytes[7];
            cipher.EncryptBlock(left, right);
            for (int k = 0; k < 4; ++k) {
                std::printf("0x%02X, ", (left >> (24 - 8 * k)) & 0xFFU);
            }
            for (int k = 0; k < 4; ++k) {
                std::printf("0x%02X, ", (right >> (24 - 8 * k)) & 0xFFU);
            }
        }
        std::printf("}\n");
    }
    return 0;
}
