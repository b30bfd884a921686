#pragma once

#include "base/status.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::soap {

// Where the request writer puts the envelope text (the transport's request buffer).
class OutputSink {
public:
    virtual ~OutputSink() = default;
    // `length` is the byte count, or -1 for a NUL-terminated text; `written`, when not null,
    // receives the count taken. A negative status ends the writing.
    [[nodiscard]] virtual HResult write(const char* text, std::int32_t length,
                                        std::uint32_t* written) = 0;
};

// Writes a whole view; a view longer than one call can take goes in pieces.
[[nodiscard]] HResult writeText(OutputSink& sink, std::string_view text);

// Collects the text in memory.
class StringSink final : public OutputSink {
public:
    [[nodiscard]] HResult write(const char* text, std::int32_t length,
                                std::uint32_t* written) override;
    [[nodiscard]] const std::string& text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    std::string m_text;
};

} // namespace tarvex::soap
