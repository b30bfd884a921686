#pragma once

#include "base/status.h"

#include <cstddef>

namespace tarvex::http {

// Where response bytes come from: a connected socket, or a script in tests.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Receives up to `capacity` bytes; `count` 0 means the peer has closed. A negative status is
    // a failed receive (a timeout among them).
    [[nodiscard]] virtual HResult receive(char* buffer, std::size_t capacity,
                                          std::size_t& count) = 0;
};

} // namespace tarvex::http
