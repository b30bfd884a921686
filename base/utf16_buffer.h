#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>

namespace tarvex {

// A growable UTF-16 buffer for hot paths: it grows without zero-filling and converts UTF-8
// straight into its free space. Views stay valid until the next change.
class Utf16Buffer {
public:
    void clear() { m_size = 0; }
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    [[nodiscard]] std::size_t capacity() const { return m_capacity; }
    [[nodiscard]] std::u16string_view view() const { return {m_data.get(), m_size}; }

    // Throw std::bad_alloc when memory cannot be had.
    void append(std::u16string_view text);
    // Room for `units` code units in all; growing at least doubles the capacity.
    void reserve(std::size_t units) {
        if (units > m_capacity) {
            grow(units - m_size);
        }
    }
    // The capacity that reserve(units) leaves.
    [[nodiscard]] std::size_t capacityFor(std::size_t units) const {
        return units <= m_capacity ? m_capacity : std::max({units, 2 * m_capacity, kLeastCapacity});
    }
    void append(char16_t unit) { append(std::u16string_view{&unit, 1}); }
    // Each ill-formed UTF-8 sequence becomes one U+FFFD.
    void appendUtf8(std::string_view text);

private:
    static constexpr std::size_t kLeastCapacity = 64;

    char16_t* reserveMore(std::size_t extra) {
        return extra <= m_capacity - m_size ? m_data.get() + m_size : grow(extra);
    }
    char16_t* grow(std::size_t extra);

    std::unique_ptr<char16_t[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace tarvex
