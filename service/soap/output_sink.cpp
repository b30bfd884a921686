#include "soap/output_sink.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tarvex::soap {

HResult writeText(OutputSink& sink, std::string_view text) {
    constexpr std::size_t kMaxPiece = std::numeric_limits<std::int32_t>::max();
    while (!text.empty()) {
        const std::size_t piece = std::min(text.size(), kMaxPiece);
        const HResult status = sink.write(text.data(), static_cast<std::int32_t>(piece), nullptr);
        if (failed(status)) {
            return status;
        }
        text.remove_prefix(piece);
    }
    return kOk;
}

HResult StringSink::write(const char* text, std::int32_t length, std::uint32_t* written) {
    if (text == nullptr) {
        return kPointer;
    }
    const std::size_t count = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
    try {
        m_text.append(text, count);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (written != nullptr) {
        *written = static_cast<std::uint32_t>(count);
    }
    return kOk;
}

} // namespace tarvex::soap
