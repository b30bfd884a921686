#include "shell/blowfish_cipher.h"

#include "shell/blowfish_tables.h"

#include <algorithm>
#include <vector>

namespace tarvex::shell {
namespace {

constexpr std::size_t kMaxKeyBytes = 56;
constexpr std::size_t kMaxStoredText = 1024;

BlowfishCipher::Block readBlock(const std::uint8_t* bytes) {
    const auto word = [bytes](int at) {
        return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
               (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
    };
    return {word(0), word(4)};
}

void writeBlock(BlowfishCipher::Block block, std::uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(block.left >> (24 - 8 * i));
        bytes[4 + i] = static_cast<std::uint8_t>(block.right >> (24 - 8 * i));
    }
}

} // namespace

std::uint32_t BlowfishCipher::round(std::uint32_t x) const {
    return ((m_s[0][x >> 24] + m_s[1][(x >> 16) & 0xFF]) ^ m_s[2][(x >> 8) & 0xFF]) +
           m_s[3][x & 0xFF];
}

void BlowfishCipher::EncryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 0; i < 16; ++i) {
        l ^= m_p[static_cast<std::size_t>(i)];
        r ^= round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= m_p[16];
    l ^= m_p[17];
    left = l;
    right = r;
}

void BlowfishCipher::DecryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 17; i > 1; --i) {
        l ^= m_p[static_cast<std::size_t>(i)];
        r ^= round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= m_p[1];
    l ^= m_p[0];
    left = l;
    right = r;
}

void BlowfishCipher::SetKey(const std::uint8_t* key, std::size_t length, Block initialVector) {
    m_initial = initialVector;
    m_chain = initialVector;
    if (length == 0 || key == nullptr) {
        throw CipherError("Incorrect key length");
    }
    length = std::min(length, kMaxKeyBytes);
    m_p = kBlowfishInitialP;
    m_s = kBlowfishInitialS;
    std::size_t at = 0;
    for (std::uint32_t& p : m_p) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | key[at];
            at = (at + 1) % length;
        }
        p ^= word;
    }
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < m_p.size(); i += 2) {
        EncryptBlock(left, right);
        m_p[i] = left;
        m_p[i + 1] = right;
    }
    for (auto& box : m_s) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            EncryptBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

void BlowfishCipher::SetKey(const std::uint8_t* key, std::size_t length) {
    SetKey(key, length, Block{});
}

void BlowfishCipher::Decrypt(const std::uint8_t* input, std::uint8_t* output, std::size_t length,
                             Mode mode) const {
    if (length == 0 || length % 8 != 0) {
        throw CipherError("Incorrect buffer length");
    }
    Block chain = m_chain;
    for (std::size_t at = 0; at < length; at += 8) {
        const Block in = readBlock(input + at);
        Block out = in;
        switch (mode) {
        case Mode::Ecb:
            DecryptBlock(out.left, out.right);
            break;
        case Mode::Cbc:
            DecryptBlock(out.left, out.right);
            out.left ^= chain.left;
            out.right ^= chain.right;
            chain = in;
            break;
        case Mode::Cfb: {
            Block stream = chain;
            EncryptBlock(stream.left, stream.right);
            out.left ^= stream.left;
            out.right ^= stream.right;
            chain = in;
            break;
        }
        }
        writeBlock(out, output + at);
    }
}

std::string DecodeStoredText(const std::uint8_t* data, std::size_t length) {
    BlowfishCipher cipher;
    cipher.SetKey(reinterpret_cast<const std::uint8_t*>(kStoredTextKey), 8);
    length = std::min(length, kMaxStoredText);
    std::vector<std::uint8_t> plain(kMaxStoredText + 1, 0);
    cipher.Decrypt(data, plain.data(), length, BlowfishCipher::Mode::Ecb);
    std::string text;
    for (std::size_t i = 0; i < length && plain[i] != 0; ++i) {
        if (plain[i] != '~') {
            text.push_back(static_cast<char>(plain[i]));
        }
    }
    return text;
}

} // namespace tarvex::shell
