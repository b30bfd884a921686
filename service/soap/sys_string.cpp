#include "sys_string.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace tarvex {
namespace {

constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);
// The prefix holds the byte length in 32 bits.
constexpr std::uint32_t kMaxLength = (std::numeric_limits<std::uint32_t>::max() - 8U) / 2U;

unsigned char* blockOf(const char16_t* text) {
    return reinterpret_cast<unsigned char*>(const_cast<char16_t*>(text)) - kPrefixBytes;
}

} // namespace

SysString sysAllocStringLen(const char16_t* text, std::uint32_t length) {
    if (length > kMaxLength) {
        return nullptr;
    }
    const std::size_t bytes = std::size_t{length} * sizeof(char16_t);
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefixBytes + bytes + sizeof(char16_t)));
    if (block == nullptr) {
        return nullptr;
    }
    const auto byteLength = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &byteLength, kPrefixBytes);
    auto* result = reinterpret_cast<char16_t*>(block + kPrefixBytes);
    if (text != nullptr && length > 0) {
        std::memcpy(result, text, bytes);
    } else {
        std::memset(result, 0, bytes);
    }
    result[length] = 0;
    return result;
}

SysString sysAllocString(std::u16string_view text) {
    if (text.size() > kMaxLength) {
        return nullptr;
    }
    return sysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
}

void sysFreeString(SysString text) {
    if (text != nullptr) {
        std::free(blockOf(text));
    }
}

std::uint32_t sysStringLen(const char16_t* text) {
    if (text == nullptr) {
        return 0;
    }
    std::uint32_t byteLength = 0;
    std::memcpy(&byteLength, blockOf(text), kPrefixBytes);
    return byteLength / 2U;
}

} // namespace tarvex
