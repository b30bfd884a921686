#pragma once

#include "http/byte_source.h"
#include "http/http_response.h"
#include "soap/byte_stream.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

namespace tarvex::test {

// A server's bytes, handed to the response reader at most `piece` at a time (0: all that is
// asked for); after the last one, receives bring 0 bytes (the peer closed) or, with failAtEnd(),
// fail.
class PieceSource final : public http::ByteSource {
public:
    PieceSource(std::string_view bytes, std::size_t piece) : m_bytes(bytes, piece) {}

    [[nodiscard]] HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override {
        if (m_failAtEnd && m_bytes.atEnd()) {
            return kFail;
        }
        return m_bytes.read(buffer, capacity, count);
    }
    void failAtEnd() { m_failAtEnd = true; }

private:
    soap::MemoryStream m_bytes;
    bool m_failAtEnd = false;
};

// Bytes with everything outside printable ASCII as \xNN.
[[nodiscard]] inline std::string printableBytes(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out.push_back(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out;
}

// Everything a read of `raw` left in `response`: result, status, every header, the challenges
// and the body. The header table cannot be walked, so each name that can stand at the start of
// a line of `raw` is looked up; the table holds no other.
[[nodiscard]] inline std::string responseText(const http::HttpResponse& response,
                                              std::string_view raw) {
    std::set<std::string> names;
    for (std::size_t start = 0; start <= raw.size();) {
        const std::size_t end = std::min(raw.find("\r\n", start), raw.size());
        const std::string_view line = raw.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon < http::kMaxHeaderLine) {
            std::string name{line.substr(0, colon)};
            std::transform(name.begin(), name.end(), name.begin(), [](char c) {
                return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            });
            names.insert(std::move(name));
        }
        start = end + 2;
    }
    std::string text = "result=" + std::to_string(static_cast<int>(response.lastResult)) +
                       " status=" + std::to_string(response.status) + " headers(" +
                       std::to_string(response.headers.size()) + ")={";
    for (const std::string& name : names) {
        if (const auto value = response.headers.get(name)) {
            text += printableBytes(name) + ": " + printableBytes(*value) + "; ";
        }
    }
    text += "} challenges=[";
    for (const std::string& challenge : response.challenges) {
        text += printableBytes(challenge) + "; ";
    }
    return text + "] body=" + printableBytes(response.body);
}

} // namespace tarvex::test
