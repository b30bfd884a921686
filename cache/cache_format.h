#pragma once

// The cache file's object stream: its tags and the writers of its values. The writers append to
// any `Out` with append(const char*, std::size_t): a string, a count of bytes, or a file written
// through a buffer.
#include "cache/google_result_cache.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarvex::cache::format {

static_assert(std::endian::native == std::endian::little, "the file's integers are little-endian");

inline constexpr std::string_view kEntryClass = "CGoogleResultCache";
inline constexpr std::uint16_t kNewClassTag = 0xFFFF;
inline constexpr std::uint16_t kBigTag = 0x7FFF;
inline constexpr std::uint32_t kClassBit = 0x80000000U;
inline constexpr std::uint16_t kEntryClassReference = 0x8001;
inline constexpr std::uint16_t kSchema = 1;
inline constexpr std::uint16_t kMaxClassName = 64;
inline constexpr std::uint16_t kUnicodeMarker = 0xFFFE;

template <class T, class Out>
void put(Out& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

template <class Out>
void putString(Out& out, std::string_view text) {
    const std::uint64_t length = text.size();
    if (length < 0xFF) {
        put<std::uint8_t>(out, static_cast<std::uint8_t>(length));
    } else {
        put<std::uint8_t>(out, 0xFF);
        if (length < 0xFFFE) {
            put<std::uint16_t>(out, static_cast<std::uint16_t>(length));
        } else {
            put<std::uint16_t>(out, 0xFFFF);
            if (length < 0xFFFFFFFFU) {
                put<std::uint32_t>(out, static_cast<std::uint32_t>(length));
            } else {
                put<std::uint32_t>(out, 0xFFFFFFFFU);
                put<std::uint64_t>(out, length);
            }
        }
    }
    out.append(text.data(), text.size());
}

template <class Out>
void putList(Out& out, const CSerStringArray& list) {
    put<std::uint32_t>(out, static_cast<std::uint32_t>(list.size()));
    put<std::int32_t>(out, list.currentIndex);
    for (std::size_t i = 0; i < list.size(); ++i) {
        putString(out, list[i]);
    }
}

template <class Out>
void writeCache(Out& out, const CGoogleResultCacheArray& cache) {
    put<std::uint32_t>(out, static_cast<std::uint32_t>(cache.GetCount()));
    bool first = true;
    for (const auto& entry : cache.entries()) {
        if (first) {
            put<std::uint16_t>(out, kNewClassTag);
            put<std::uint16_t>(out, kSchema);
            put<std::uint16_t>(out, static_cast<std::uint16_t>(kEntryClass.size()));
            out.append(kEntryClass.data(), kEntryClass.size());
            first = false;
        } else {
            put<std::uint16_t>(out, kEntryClassReference);
        }
        putString(out, entry->queryWord);
        put<std::int32_t>(out, entry->estimatedTotal);
        put<std::int32_t>(out, entry->searchedAt.status);
        put<double>(out, entry->searchedAt.days);
        for (const CSerStringArray* list :
             {&entry->urls, &entry->titles, &entry->summaries, &entry->snippets,
              &entry->categoryNames, &entry->directoryTitles, &entry->reservedList}) {
            putList(out, *list);
        }
    }
}

// The size of what writeCache writes, so that the string it goes to is allocated once.
struct ByteCount {
    std::size_t size = 0;
    void append(const char* /*data*/, std::size_t count) { size += count; }
};

} // namespace tarvex::cache::format
