#include "base/code_page.h"

#include "base/utf16_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace tarvex {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// RFC 3629 4: the range of valid second bytes depends on the lead byte.
bool validSecond(unsigned lead, unsigned byte) {
    switch (lead) {
    case 0xE0:
        return byte >= 0xA0 && byte <= 0xBF;
    case 0xED:
        return byte >= 0x80 && byte <= 0x9F;
    case 0xF0:
        return byte >= 0x90 && byte <= 0xBF;
    case 0xF4:
        return byte >= 0x80 && byte <= 0x8F;
    default:
        return byte >= 0x80 && byte <= 0xBF;
    }
}

// Widens the first 16 bytes at `in` into `out` when all are ASCII and returns 16; otherwise
// writes nothing and returns 0.
std::size_t widenAscii16(const unsigned char* in, char16_t* out) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    using Units = char16_t __attribute__((vector_size(16)));
    Bytes block;
    std::memcpy(&block, in, 16);
    Bytes high = block & 0x80;
    std::uint64_t halves[2];
    std::memcpy(halves, &high, 16);
    if ((halves[0] | halves[1]) != 0) {
        return 0;
    }
    const Units low = __builtin_convertvector(
        __builtin_shufflevector(block, block, 0, 1, 2, 3, 4, 5, 6, 7), Units);
    const Units upper = __builtin_convertvector(
        __builtin_shufflevector(block, block, 8, 9, 10, 11, 12, 13, 14, 15), Units);
    std::memcpy(out, &low, 16);
    std::memcpy(out + 8, &upper, 16);
    return 16;
}

// Decodes UTF-8 into `out`, which has room for text.size() code units (UTF-16 never takes
// more units than UTF-8 takes bytes); returns the units written.
std::size_t decodeUtf8(std::string_view text, char16_t* out) {
    char16_t* const begin = out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        // Runs of ASCII, the common case, go across sixteen bytes at a time.
        while (i + 16 <= size) {
            const std::size_t ascii = widenAscii16(bytes + i, out);
            out += ascii;
            i += ascii;
            if (ascii < 16) {
                break;
            }
        }
        while (i < size && bytes[i] < 0x80) {
            *out++ = bytes[i++];
        }
        if (i >= size) {
            break;
        }
        const unsigned lead = bytes[i];
        std::size_t needed = 0;
        char32_t codePoint = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            codePoint = lead & 0x1FU;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            codePoint = lead & 0x0FU;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            codePoint = lead & 0x07U;
        } else {
            *out++ = static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        // Take continuation bytes while they fit; a broken sequence is replaced as a whole
        // (its maximal valid prefix) and reading resumes at the offending byte.
        std::size_t taken = 1;
        while (taken <= needed && i + taken < size) {
            const unsigned byte = bytes[i + taken];
            const bool ok = taken == 1 ? validSecond(lead, byte) : (byte >= 0x80 && byte <= 0xBF);
            if (!ok) {
                break;
            }
            codePoint = (codePoint << 6) | (byte & 0x3FU);
            ++taken;
        }
        if (taken == needed + 1) {
            if (codePoint < 0x10000) {
                *out++ = static_cast<char16_t>(codePoint);
            } else {
                codePoint -= 0x10000;
                *out++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
                *out++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
            }
        } else {
            *out++ = static_cast<char16_t>(kReplacement);
        }
        i += taken;
    }
    return static_cast<std::size_t>(out - begin);
}

} // namespace

std::u16string codePageToUtf16(std::string_view text) {
    std::u16string out;
    appendCodePageAsUtf16(text, out);
    return out;
}

void appendCodePageAsUtf16(std::string_view text, std::u16string& out) {
    const std::size_t at = out.size();
    out.resize(at + text.size());
    out.resize(at + decodeUtf8(text, out.data() + at));
}

void Utf16Buffer::append(std::u16string_view text) {
    if (!text.empty()) {
        std::memcpy(reserveMore(text.size()), text.data(), text.size() * sizeof(char16_t));
        m_size += text.size();
    }
}

void Utf16Buffer::appendUtf8(std::string_view text) {
    if (!text.empty()) {
        m_size += decodeUtf8(text, reserveMore(text.size()));
    }
}

char16_t* Utf16Buffer::grow(std::size_t extra) {
    if (extra > (std::size_t{1} << 60) - m_size) {
        throw std::bad_alloc{};
    }
    const std::size_t capacity = capacityFor(m_size + extra);
    std::unique_ptr<char16_t[]> data{new char16_t[capacity]};
    if (m_size > 0) {
        std::memcpy(data.get(), m_data.get(), m_size * sizeof(char16_t));
    }
    m_data = std::move(data);
    m_capacity = capacity;
    return m_data.get() + m_size;
}

std::string utf16ToCodePage(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t codePoint =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            appendUtf8(out, codePoint);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

namespace {

// The code unit at `index` of little-endian UTF-16 bytes.
unsigned unitAt(const unsigned char* bytes, std::size_t index) {
    return bytes[2 * index] | (static_cast<unsigned>(bytes[2 * index + 1]) << 8);
}

} // namespace

void utf16BytesToCodePage(std::string_view littleEndian, std::string& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(littleEndian.data());
    std::size_t units = littleEndian.size() / 2;
    // Stored texts are nearly all ASCII without a zero unit: one pass that the compiler
    // vectorises tells; the rare others are looked at again.
    unsigned all = 0;
    bool zero = false;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned unit = unitAt(bytes, i);
        all |= unit;
        zero |= unit == 0;
    }
    if (zero) {
        all = 0;
        std::size_t end = 0;
        for (; unitAt(bytes, end) != 0; ++end) {
            all |= unitAt(bytes, end);
        }
        units = end;
    }
    if (all < 0x80) {
        out.resize(units);
        for (std::size_t i = 0; i < units; ++i) {
            out[i] = static_cast<char>(bytes[2 * i]);
        }
        return;
    }
    std::u16string wide(units, u'\0');
    std::memcpy(wide.data(), bytes, 2 * units);
    out = utf16ToCodePage(wide);
}

} // namespace tarvex
