#include "base/sys_string.h"

#include <cstdlib>
#include <cstring>
#include <limits>

// Under AddressSanitizer freed strings go straight back to the heap, so that every use after
// free is seen.
#if defined(__SANITIZE_ADDRESS__)
#define TARVEX_HEAP_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVEX_HEAP_CHECKED 1
#endif
#endif
#ifndef TARVEX_HEAP_CHECKED
#define TARVEX_HEAP_CHECKED 0
#endif

namespace tarvex {
namespace {

// A parsed response allocates and frees a hundred short strings; freed blocks of up to 1 KiB
// are kept per thread by size class and used again.
constexpr bool kKeepFreedBlocks = TARVEX_HEAP_CHECKED == 0;
constexpr std::size_t kClassBytes = 32;
constexpr std::size_t kClasses = 32;
constexpr std::size_t kKeptPerClass = 64;

class FreeBlocks {
public:
    FreeBlocks() = default;
    FreeBlocks(const FreeBlocks&) = delete;
    FreeBlocks& operator=(const FreeBlocks&) = delete;
    ~FreeBlocks() {
        // Strings freed later on this thread (by static objects at exit) go straight back.
        m_open = false;
        for (void* head : m_heads) {
            while (head != nullptr) {
                void* next = nullptr;
                std::memcpy(&next, head, sizeof next);
                std::free(head);
                head = next;
            }
        }
    }

    void* take(std::size_t sizeClass) {
        void* block = m_open ? m_heads[sizeClass] : nullptr;
        if (block != nullptr) {
            std::memcpy(&m_heads[sizeClass], block, sizeof(void*));
            --m_counts[sizeClass];
        }
        return block;
    }

    bool keep(void* block, std::size_t sizeClass) {
        if (!m_open || m_counts[sizeClass] >= kKeptPerClass) {
            return false;
        }
        std::memcpy(block, &m_heads[sizeClass], sizeof(void*));
        m_heads[sizeClass] = block;
        ++m_counts[sizeClass];
        return true;
    }

private:
    void* m_heads[kClasses] = {};
    std::size_t m_counts[kClasses] = {};
    bool m_open = true;
};

thread_local FreeBlocks threadFreeBlocks;

// The size class of a block of `total` bytes; kClasses when it is not kept.
std::size_t sizeClassOf(std::size_t total) {
    return (total + kClassBytes - 1) / kClassBytes - 1;
}

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
    const std::size_t total = kPrefixBytes + bytes + sizeof(char16_t);
    const std::size_t sizeClass = sizeClassOf(total);
    unsigned char* block = nullptr;
    if (kKeepFreedBlocks && sizeClass < kClasses) {
        block = static_cast<unsigned char*>(threadFreeBlocks.take(sizeClass));
        if (block == nullptr) {
            block = static_cast<unsigned char*>(std::malloc((sizeClass + 1) * kClassBytes));
        }
    } else {
        block = static_cast<unsigned char*>(std::malloc(total));
    }
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
    if (text == nullptr) {
        return;
    }
    unsigned char* block = blockOf(text);
    if (kKeepFreedBlocks) {
        std::uint32_t byteLength = 0;
        std::memcpy(&byteLength, block, kPrefixBytes);
        const std::size_t sizeClass = sizeClassOf(kPrefixBytes + byteLength + sizeof(char16_t));
        if (sizeClass < kClasses && threadFreeBlocks.keep(block, sizeClass)) {
            return;
        }
    }
    std::free(block);
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
