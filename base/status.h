#pragma once

#include <cstdint>

namespace tarvex {

// Statuses of the service client, in the COM convention its callers rely on:
// 0 is success, negative is failure.
using HResult = std::int32_t;

inline constexpr HResult kOk = 0;
inline constexpr HResult kFail = static_cast<HResult>(0x80004005U);
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057U);
inline constexpr HResult kPointer = static_cast<HResult>(0x80004003U);
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000EU);
inline constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001U);

[[nodiscard]] constexpr bool failed(HResult status) {
    return status < 0;
}

} // namespace tarvex
