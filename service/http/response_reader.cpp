#include "http_response.h"

#include "ascii_case.h"

#include <algorithm>
#include <charconv>
#include <new>

namespace tarvex::http {
namespace {

constexpr std::size_t kHeaderBlock = 2048;
constexpr int kMaxEmptyReceives = 5;

// The bytes received so far and where reading stands in them.
class Input {
public:
    Input(ByteSource& source, std::size_t blockSize) : m_source(source), m_blockSize(blockSize) {}

    // Receives one more block; false on failure, and `closed` when the peer ended.
    bool more(bool& closed, std::size_t blockSize = 0) {
        const std::size_t size = blockSize == 0 ? m_blockSize : blockSize;
        if (m_bytes.size() + size > kMaxResponseBytes + kHeaderBlock) {
            return false;
        }
        const std::size_t old = m_bytes.size();
        try {
            m_bytes.resize(old + size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::size_t count = 0;
        const HResult status = m_source.receive(m_bytes.data() + old, size, count);
        m_bytes.resize(old + (failed(status) ? 0 : std::min(count, size)));
        closed = !failed(status) && count == 0;
        return !failed(status);
    }

    [[nodiscard]] std::string_view rest() const {
        return std::string_view{m_bytes}.substr(m_position);
    }
    void consume(std::size_t count) { m_position += count; }
    // Drops what has been read, keeping what follows.
    void compact() {
        m_bytes.erase(0, m_position);
        m_position = 0;
    }

private:
    ByteSource& m_source;
    std::size_t m_blockSize;
    std::string m_bytes;
    std::size_t m_position = 0;
};

// Makes sure `count` unread bytes are there; false when the connection fails or ends first.
bool require(Input& input, std::size_t count) {
    while (input.rest().size() < count) {
        bool closed = false;
        if (!input.more(closed) || closed) {
            return false;
        }
    }
    return true;
}

// Reads a line ending in CR LF; false when it cannot be had or is longer than `maxLength`.
bool readLine(Input& input, std::string& line, std::size_t maxLength) {
    while (true) {
        const std::string_view rest = input.rest();
        const std::size_t end = rest.find("\r\n");
        if (end != std::string_view::npos) {
            if (end > maxLength) {
                return false;
            }
            line.assign(rest.substr(0, end));
            input.consume(end + 2);
            return true;
        }
        if (rest.size() > maxLength + 2) {
            return false;
        }
        bool closed = false;
        if (!input.more(closed) || closed) {
            return false;
        }
    }
}

// Receives until the header block (ending in an empty line) is complete; returns its length
// including the final CR LF CR LF, or 0 on failure.
std::size_t receiveHeaderBlock(Input& input) {
    int emptyReceives = 0;
    std::size_t searched = 0;
    while (true) {
        const std::string_view rest = input.rest();
        const std::size_t end = rest.find("\r\n\r\n", searched);
        if (end != std::string_view::npos) {
            return end + 4;
        }
        if (rest.size() > kMaxResponseBytes) {
            return 0;
        }
        searched = rest.size() >= 3 ? rest.size() - 3 : 0;
        bool closed = false;
        if (!input.more(closed, kHeaderBlock)) {
            return 0;
        }
        // A receive that brings nothing is tried again, five times in a row at most.
        emptyReceives = closed ? emptyReceives + 1 : 0;
        if (emptyReceives >= kMaxEmptyReceives) {
            return 0;
        }
    }
}

// RFC 9112 4: HTTP-version SP status-code SP reason; the version is not examined.
bool parseStatusLine(std::string_view line, std::int32_t& status) {
    std::size_t i = line.find(' ');
    if (i == std::string_view::npos) {
        return false;
    }
    while (i < line.size() && line[i] == ' ') {
        ++i;
    }
    if (i >= line.size() || line[i] < '0' || line[i] > '9') {
        return false;
    }
    std::int32_t value = 0;
    const auto result = std::from_chars(line.data() + i, line.data() + line.size(), value);
    if (result.ec != std::errc{} || value > 999) {
        return false;
    }
    status = value;
    return true;
}

void addHeaderLine(std::string_view line, HttpResponse& response) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    const std::string_view name = line.substr(0, colon);
    std::size_t start = colon + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    const std::string_view value = line.substr(start);
    if (name.size() >= kMaxHeaderLine || value.size() >= kMaxHeaderLine) {
        return;
    }
    if (equalsIgnoringCase(name, "www-authenticate") ||
        equalsIgnoringCase(name, "proxy-authenticate")) {
        response.challenges.emplace_back(value);
    }
    response.headers.add(name, value);
}

void addHeaderLines(std::string_view block, HttpResponse& response) {
    while (!block.empty()) {
        const std::size_t end = block.find("\r\n");
        addHeaderLine(block.substr(0, end), response);
        if (end == std::string_view::npos) {
            break;
        }
        block.remove_prefix(end + 2);
    }
}

// RFC 9112 7.1: chunk-size is hex; extensions are not accepted here.
bool readChunkedBody(Input& input, HttpResponse& response) {
    std::string line;
    while (true) {
        if (!readLine(input, line, 16) || line.empty()) {
            return false;
        }
        std::uint64_t size = 0;
        for (const char c : line) {
            const int digit = asciiHexValue(c);
            if (digit < 0) {
                return false;
            }
            size = size * 16 + static_cast<std::uint64_t>(digit);
            if (size > kMaxChunkSize) {
                return false;
            }
        }
        if (size == 0) {
            break;
        }
        if (response.body.size() + size > kMaxResponseBytes || !require(input, size + 2)) {
            return false;
        }
        const std::string_view rest = input.rest();
        if (rest.substr(size, 2) != "\r\n") {
            return false;
        }
        try {
            response.body.append(rest.substr(0, size));
        } catch (const std::bad_alloc&) {
            return false;
        }
        input.consume(size + 2);
        input.compact();
    }
    // RFC 9112 7.1.2: trailer lines up to an empty line; kept when the response announced them.
    const bool announced = response.headers.get("Trailer").has_value();
    while (true) {
        if (!readLine(input, line, kMaxHeaderLine * 2 + 2)) {
            return false;
        }
        if (line.empty()) {
            return true;
        }
        if (announced) {
            addHeaderLine(line, response);
        }
    }
}

bool readBodyOfLength(Input& input, HttpResponse& response, std::int64_t length) {
    if (length < 0 || static_cast<std::uint64_t>(length) > kMaxResponseBytes) {
        return false;
    }
    const auto size = static_cast<std::size_t>(length);
    while (input.rest().size() < size) {
        bool closed = false;
        if (!input.more(closed) || closed) {
            return false;
        }
    }
    response.body.assign(input.rest().substr(0, size));
    input.consume(size);
    return true;
}

bool readBodyToClose(Input& input, HttpResponse& response) {
    while (true) {
        if (input.rest().size() > kMaxResponseBytes) {
            return false;
        }
        bool closed = false;
        if (!input.more(closed) || closed) {
            break; // a failed receive ends such a body too
        }
    }
    response.body.assign(input.rest());
    input.consume(input.rest().size());
    return true;
}

ReadResult readOne(Input& input, HttpResponse& response) {
    while (true) {
        const std::size_t blockLength = receiveHeaderBlock(input);
        if (blockLength == 0) {
            return ReadResult::HeaderReadFailed;
        }
        const std::string_view block = input.rest().substr(0, blockLength - 2);
        const std::size_t lineEnd = block.find("\r\n");
        if (!parseStatusLine(block.substr(0, lineEnd), response.status)) {
            return ReadResult::InvalidStatusLine;
        }
        if (response.status == 100) {
            // RFC 9110 15.2.1: an interim answer; the real one follows.
            input.consume(blockLength);
            input.compact();
            continue;
        }
        addHeaderLines(block.substr(lineEnd + 2), response);
        input.consume(blockLength);
        break;
    }
    const auto encoding = response.headers.get("Transfer-Encoding");
    if (encoding && *encoding == "chunked") {
        return readChunkedBody(input, response) ? ReadResult::Done : ReadResult::ChunkedBodyFailed;
    }
    const std::int64_t length = response.contentLength();
    if (length == -1) {
        return readBodyToClose(input, response) ? ReadResult::Done : ReadResult::BodyReadFailed;
    }
    return readBodyOfLength(input, response, length) ? ReadResult::Done
                                                     : ReadResult::BodyReadFailed;
}

} // namespace

void HttpResponse::reset() {
    status = -1;
    headers.clear();
    challenges.clear();
    body.clear();
    lastResult = ReadResult::NothingRead;
}

std::int64_t HttpResponse::contentLength() const {
    const auto text = headers.get("Content-Length");
    if (!text) {
        return -1;
    }
    std::int64_t value = 0;
    const auto result = std::from_chars(text->data(), text->data() + text->size(), value);
    if (result.ec != std::errc{} || result.ptr != text->data() + text->size() || value < 0) {
        return -2;
    }
    return value;
}

ReadResult readResponse(ByteSource& source, HttpResponse& response, std::size_t readBlockSize) {
    response.reset();
    Input input{source, readBlockSize == 0 ? 2048 : readBlockSize};
    try {
        response.lastResult = readOne(input, response);
    } catch (const std::bad_alloc&) {
        response.lastResult = ReadResult::HeaderBlockUnreadable;
    }
    return response.lastResult;
}

} // namespace tarvex::http
