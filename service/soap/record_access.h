#pragma once

#include <cstddef>
#include <cstring>

namespace tarvex::soap {

// Records are plain bytes described by maps; members are read and written by copy, so an
// offset never has to meet an alignment the compiler can see.
template <class T>
[[nodiscard]] T loadAt(const void* address) {
    T value;
    std::memcpy(&value, address, sizeof(T));
    return value;
}

template <class T>
void storeAt(void* address, const T& value) {
    std::memcpy(address, &value, sizeof(T));
}

[[nodiscard]] inline std::byte* byteAt(void* base, std::size_t offset) {
    return static_cast<std::byte*>(base) + offset;
}

[[nodiscard]] inline const std::byte* byteAt(const void* base, std::size_t offset) {
    return static_cast<const std::byte*>(base) + offset;
}

} // namespace tarvex::soap
