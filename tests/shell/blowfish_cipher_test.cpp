#include "shell/blowfish_cipher.h"
#include "stored_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::shell {
namespace {

std::vector<std::uint8_t> bytes(std::uint64_t value) {
    std::vector<std::uint8_t> out(8);
    for (int i = 0; i < 8; ++i) {
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
    }
    return out;
}

std::uint64_t number(const std::vector<std::uint8_t>& block) {
    std::uint64_t value = 0;
    for (const std::uint8_t b : block) {
        value = value << 8 | b;
    }
    return value;
}

// Known answers (key, plain, cipher) from the test vectors the cipher's designer, Bruce Schneier,
// publishes with the algorithm (the set compiled by Eric Young), eight-byte keys.
struct Vector {
    std::uint64_t key;
    std::uint64_t plain;
    std::uint64_t cipher;
};
constexpr Vector kVectors[] = {
    {0x0000000000000000, 0x0000000000000000, 0x4EF997456198DD78},
    {0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 0x51866FD5B85ECB8A},
    {0x3000000000000000, 0x1000000000000001, 0x7D856F9A613063F2},
    {0x1111111111111111, 0x1111111111111111, 0x2466DD878B963C9D},
    {0x0123456789ABCDEF, 0x1111111111111111, 0x61F9C3802281B096},
    {0xFEDCBA9876543210, 0x0123456789ABCDEF, 0x0ACEAB0FC6A0A28D},
};

TEST(BlowfishCipherTest, PublishedVectorsBothWays) {
    for (const Vector& v : kVectors) {
        BlowfishCipher cipher;
        const auto key = bytes(v.key);
        cipher.SetKey(key.data(), key.size());
        std::uint32_t left = static_cast<std::uint32_t>(v.plain >> 32);
        std::uint32_t right = static_cast<std::uint32_t>(v.plain);
        cipher.EncryptBlock(left, right);
        EXPECT_EQ((std::uint64_t{left} << 32) | right, v.cipher) << std::hex << v.key;

        const auto input = bytes(v.cipher);
        std::vector<std::uint8_t> output(8);
        cipher.Decrypt(input.data(), output.data(), 8, BlowfishCipher::Mode::Ecb);
        EXPECT_EQ(number(output), v.plain) << std::hex << v.key;
    }
}

TEST(BlowfishCipherTest, KeysPast56BytesAreCut) {
    std::vector<std::uint8_t> key60(60);
    for (std::size_t i = 0; i < key60.size(); ++i) {
        key60[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    BlowfishCipher longKey;
    BlowfishCipher cutKey;
    longKey.SetKey(key60.data(), 60);
    cutKey.SetKey(key60.data(), 56);
    std::uint32_t a = 1;
    std::uint32_t b = 2;
    std::uint32_t c = 1;
    std::uint32_t d = 2;
    longKey.EncryptBlock(a, b);
    cutKey.EncryptBlock(c, d);
    EXPECT_EQ(a, c);
    EXPECT_EQ(b, d);
}

TEST(BlowfishCipherTest, LengthErrors) {
    BlowfishCipher cipher;
    const std::uint8_t key[] = {1};
    try {
        cipher.SetKey(key, 0);
        FAIL() << "no exception";
    } catch (const CipherError& error) {
        EXPECT_STREQ(error.what(), "Incorrect key length");
    }
    cipher.SetKey(key, 1);
    std::uint8_t buffer[16] = {};
    for (const std::size_t length : {std::size_t{0}, std::size_t{12}}) {
        try {
            cipher.Decrypt(buffer, buffer, length, BlowfishCipher::Mode::Ecb);
            FAIL() << "no exception for " << length;
        } catch (const CipherError& error) {
            EXPECT_STREQ(error.what(), "Incorrect buffer length");
        }
    }
}

TEST(BlowfishCipherTest, ChainingModes) {
    BlowfishCipher cipher;
    const auto key = bytes(0x0123456789ABCDEF);
    cipher.SetKey(key.data(), key.size());
    const auto input = bytes(0x61F9C3802281B096);
    std::vector<std::uint8_t> ecb(8);
    std::vector<std::uint8_t> cbc(8);
    cipher.Decrypt(input.data(), ecb.data(), 8, BlowfishCipher::Mode::Ecb);
    cipher.Decrypt(input.data(), cbc.data(), 8, BlowfishCipher::Mode::Cbc);
    EXPECT_EQ(ecb, cbc) << "with a zero chaining vector the first CBC block is the ECB block";

    // Two blocks: CBC undoes a chain made with EncryptBlock; CFB undoes its own keystream.
    cipher.SetKey(key.data(), key.size(), BlowfishCipher::Block{0x01020304, 0x05060708});
    const std::string plain = "sixteen bytes!!!";
    std::vector<std::uint8_t> chained(16);
    std::uint32_t prevLeft = 0x01020304;
    std::uint32_t prevRight = 0x05060708;
    for (std::size_t at = 0; at < 16; at += 8) {
        const std::vector<std::uint8_t> block(plain.begin() + static_cast<std::ptrdiff_t>(at),
                                              plain.begin() + static_cast<std::ptrdiff_t>(at + 8));
        const std::uint64_t value = number(block);
        std::uint32_t left = static_cast<std::uint32_t>(value >> 32) ^ prevLeft;
        std::uint32_t right = static_cast<std::uint32_t>(value) ^ prevRight;
        cipher.EncryptBlock(left, right);
        prevLeft = left;
        prevRight = right;
        const auto out = bytes(std::uint64_t{left} << 32 | right);
        std::copy(out.begin(), out.end(), chained.begin() + static_cast<std::ptrdiff_t>(at));
    }
    std::vector<std::uint8_t> result(16);
    cipher.Decrypt(chained.data(), result.data(), 16, BlowfishCipher::Mode::Cbc);
    EXPECT_EQ(std::string(result.begin(), result.end()), plain);
    cipher.Decrypt(chained.data(), result.data(), 16, BlowfishCipher::Mode::Cbc);
    EXPECT_EQ(std::string(result.begin(), result.end()), plain)
        << "each call starts from the initial vector";

    std::vector<std::uint8_t> cfbCipher(16);
    std::uint32_t regLeft = 0x01020304;
    std::uint32_t regRight = 0x05060708;
    for (std::size_t at = 0; at < 16; at += 8) {
        std::uint32_t l = regLeft;
        std::uint32_t r = regRight;
        cipher.EncryptBlock(l, r);
        const std::vector<std::uint8_t> block(plain.begin() + static_cast<std::ptrdiff_t>(at),
                                              plain.begin() + static_cast<std::ptrdiff_t>(at + 8));
        const std::uint64_t out = number(block) ^ (std::uint64_t{l} << 32 | r);
        regLeft = static_cast<std::uint32_t>(out >> 32);
        regRight = static_cast<std::uint32_t>(out);
        const auto written = bytes(out);
        std::copy(written.begin(), written.end(),
                  cfbCipher.begin() + static_cast<std::ptrdiff_t>(at));
    }
    cipher.Decrypt(cfbCipher.data(), result.data(), 16, BlowfishCipher::Mode::Cfb);
    EXPECT_EQ(std::string(result.begin(), result.end()), plain);
}

TEST(StoredTextTest, FillerAndZeroEndTheText) {
    const auto stored = test::storedText("abc~~~~~", 8);
    EXPECT_EQ(DecodeStoredText(stored.data(), stored.size()), "abc");
    const auto twoBlocks = test::storedText("Tar~vex", 16);
    EXPECT_EQ(DecodeStoredText(twoBlocks.data(), twoBlocks.size()), "Tarvex") << "every ~ goes";
    const auto withZero = test::storedText(std::string("ab\0cdefg", 8), 8);
    EXPECT_EQ(DecodeStoredText(withZero.data(), withZero.size()), "ab");
    const auto tooLong = test::storedText(std::string(1096, 'x'), 1096);
    EXPECT_EQ(DecodeStoredText(tooLong.data(), tooLong.size()).size(), 1024U)
        << "cut to 1024 bytes";
}

} // namespace
} // namespace tarvex::shell
