#include "http/http_response.h"

#include "base/ascii_case.h"
#include "http/tls_socket.h"

#include <algorithm>
#include <charconv>
#include <new>

namespace tarvex::http {
namespace {

constexpr std::size_t kHeaderBlock = 2048;
constexpr int kMaxEmptyReceives = 5;
// The work buffer holds at most the largest body and the line ends around its last chunk.
constexpr std::size_t kMaxBufferedBytes = kMaxResponseBytes + kHeaderBlock;

// What one receive brought.
enum class Receipt {
    Bytes,
    Closed,  // the peer has ended the connection
    Failed,  // the receive failed
    Stopped, // nothing was received: the buffer is full, memory ran out or the deadline passed
};

// The bytes received so far and where reading stands in them.
class Input {
public:
    Input(ByteSource& source, std::size_t blockSize, const Clock& clock, Clock::TimePoint deadline)
        : m_source(source), m_blockSize(blockSize), m_clock(clock), m_deadline(deadline) {}

    // Receives one more block, of `blockSize` bytes or the default size.
    Receipt more(std::size_t blockSize = 0) {
        const std::size_t old = m_bytes.size();
        if (old >= kMaxBufferedBytes) {
            noteTooLarge();
            return Receipt::Stopped;
        }
        if (pastDeadline()) {
            return Receipt::Stopped;
        }
        const std::size_t size =
            std::min(blockSize == 0 ? m_blockSize : blockSize, kMaxBufferedBytes - old);
        try {
            m_bytes.resize(old + size);
        } catch (const std::bad_alloc&) {
            return Receipt::Stopped;
        }
        std::size_t count = 0;
        const HResult status = m_source.receive(m_bytes.data() + old, size, count);
        m_bytes.resize(old + (failed(status) ? 0 : std::min(count, size)));
        if (status == kTlsIllegalMessage) {
            m_reason = FailureReason::InvalidTlsRecords;
        }
        if (failed(status)) {
            m_last = Receipt::Failed;
        } else {
            m_last = count == 0 ? Receipt::Closed : Receipt::Bytes;
        }
        return m_last;
    }

    // Why reading stopped, where it can be told: a cap, bad TLS records, or the peer's close
    // while more bytes were needed.
    [[nodiscard]] FailureReason reason(bool inChunkedBody) const {
        if (m_reason != FailureReason::None || m_last != Receipt::Closed) {
            return m_reason;
        }
        return inChunkedBody ? FailureReason::ChunkedCut : FailureReason::ClosedEarly;
    }
    void noteTooLarge() { m_reason = FailureReason::TooLarge; }

    [[nodiscard]] bool pastDeadline() const { return m_clock.now() > m_deadline; }

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
    const Clock& m_clock;
    Clock::TimePoint m_deadline;
    std::string m_bytes;
    std::size_t m_position = 0;
    Receipt m_last = Receipt::Bytes; // what the latest receive brought
    FailureReason m_reason = FailureReason::None;
};

// What is left of the header caps of one response; every header block and trailer line draws on
// it.
class HeaderAllowance {
public:
    [[nodiscard]] std::size_t bytesLeft() const { return m_bytes; }
    // False when the bytes or the line would go past the cap.
    [[nodiscard]] bool takeBytes(std::size_t count) {
        if (count > m_bytes) {
            return false;
        }
        m_bytes -= count;
        return true;
    }
    [[nodiscard]] bool takeLine() {
        if (m_lines == 0) {
            return false;
        }
        --m_lines;
        return true;
    }

private:
    std::size_t m_bytes = kMaxHeaderBytes;
    std::size_t m_lines = kMaxHeaderLines;
};

// Makes sure `count` unread bytes are there; false when the connection fails or ends first.
bool require(Input& input, std::size_t count) {
    while (input.rest().size() < count) {
        if (input.more() != Receipt::Bytes) {
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
        if (input.more() != Receipt::Bytes) {
            return false;
        }
    }
}

// Receives until the header block (ending in an empty line) is complete and takes its bytes from
// the allowance; returns its length including the final CR LF CR LF, or 0 on failure.
std::size_t receiveHeaderBlock(Input& input, HeaderAllowance& allowance) {
    int emptyReceives = 0;
    std::size_t searched = 0;
    while (true) {
        const std::string_view rest = input.rest();
        const std::size_t end = rest.find("\r\n\r\n", searched);
        if (end != std::string_view::npos) {
            return allowance.takeBytes(end + 4) ? end + 4 : 0;
        }
        // A block not ended in what has come is longer than that.
        if (rest.size() >= allowance.bytesLeft()) {
            return 0;
        }
        searched = rest.size() >= 3 ? rest.size() - 3 : 0;
        const Receipt receipt = input.more(kHeaderBlock);
        if (receipt == Receipt::Failed || receipt == Receipt::Stopped) {
            return 0;
        }
        // A receive that brings nothing is tried again, five times in a row at most.
        emptyReceives = receipt == Receipt::Closed ? emptyReceives + 1 : 0;
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

// False when the lines are more than the allowance.
bool addHeaderLines(std::string_view block, HttpResponse& response, HeaderAllowance& allowance) {
    while (!block.empty()) {
        if (!allowance.takeLine()) {
            return false;
        }
        const std::size_t end = block.find("\r\n");
        addHeaderLine(block.substr(0, end), response);
        if (end == std::string_view::npos) {
            break;
        }
        block.remove_prefix(end + 2);
    }
    return true;
}

// RFC 9112 7.1: chunk-size is hex; extensions are not accepted here.
bool readChunkedBody(Input& input, HttpResponse& response, HeaderAllowance& allowance) {
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
        if (response.body.size() + size > kMaxResponseBytes) {
            input.noteTooLarge();
            return false;
        }
        if (!require(input, size + 2)) {
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
        if (!allowance.takeLine() || !allowance.takeBytes(line.size() + 2)) {
            return false;
        }
        if (announced) {
            addHeaderLine(line, response);
        }
    }
}

bool readBodyOfLength(Input& input, HttpResponse& response, std::uint64_t length) {
    if (length > kMaxResponseBytes) {
        input.noteTooLarge();
        return false;
    }
    const auto size = static_cast<std::size_t>(length);
    if (!require(input, size)) {
        return false;
    }
    response.body.assign(input.rest().substr(0, size));
    input.consume(size);
    return true;
}

bool readBodyToClose(Input& input, HttpResponse& response) {
    while (true) {
        if (input.rest().size() > kMaxResponseBytes) {
            input.noteTooLarge(); // too long, not cut short
            return false;
        }
        const Receipt receipt = input.more();
        if (receipt == Receipt::Stopped) {
            return false;
        }
        if (receipt != Receipt::Bytes) {
            break; // a failed receive ends such a body too
        }
    }
    response.body.assign(input.rest());
    input.consume(input.rest().size());
    return true;
}

ReadResult readOne(Input& input, HttpResponse& response) {
    HeaderAllowance allowance;
    while (true) {
        const std::size_t blockLength = receiveHeaderBlock(input, allowance);
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
        if (!addHeaderLines(block.substr(lineEnd + 2), response, allowance)) {
            return ReadResult::HeaderReadFailed;
        }
        input.consume(blockLength);
        input.compact();
        break;
    }
    if (input.pastDeadline()) {
        return ReadResult::HeaderReadFailed;
    }
    const auto encoding = response.headers.get("Transfer-Encoding");
    const bool chunked = encoding && *encoding == "chunked";
    const HttpResponse::ContentLength field = response.contentLength();
    bool ok = false;
    if (chunked) {
        ok = readChunkedBody(input, response, allowance);
    } else if (field.malformed) {
        ok = false;
    } else if (!field.length) {
        ok = readBodyToClose(input, response);
    } else {
        ok = readBodyOfLength(input, response, *field.length);
    }
    // An answer complete only after the deadline fails as one the deadline cut off would.
    if (ok && !input.pastDeadline()) {
        response.bytesAfterBody = !input.rest().empty();
        return ReadResult::Done;
    }
    return chunked ? ReadResult::ChunkedBodyFailed : ReadResult::BodyReadFailed;
}

} // namespace

void HttpResponse::reset() {
    status = -1;
    headers.clear();
    challenges.clear();
    body.clear();
    lastResult = ReadResult::NothingRead;
    failure = FailureReason::None;
    bytesAfterBody = false;
}

HttpResponse::ContentLength HttpResponse::contentLength() const {
    const auto text = headers.get("Content-Length");
    if (!text) {
        return {};
    }
    std::int64_t value = 0;
    const auto result = std::from_chars(text->data(), text->data() + text->size(), value);
    if (result.ec != std::errc{} || result.ptr != text->data() + text->size() || value < 0) {
        return {std::nullopt, true};
    }
    return {static_cast<std::uint64_t>(value), false};
}

ReadResult readResponse(ByteSource& source, HttpResponse& response, std::size_t readBlockSize) {
    return readResponse(source, response, readBlockSize, steadyClock(), Clock::TimePoint::max());
}

ReadResult readResponse(ByteSource& source, HttpResponse& response, std::size_t readBlockSize,
                        const Clock& clock, Clock::TimePoint deadline) {
    response.reset();
    Input input{source, readBlockSize == 0 ? 2048 : readBlockSize, clock, deadline};
    try {
        response.lastResult = readOne(input, response);
    } catch (const std::bad_alloc&) {
        response.lastResult = ReadResult::HeaderBlockUnreadable;
        return response.lastResult;
    }
    // A read the deadline ended is a timeout, whatever came before it.
    if (response.lastResult != ReadResult::Done && !input.pastDeadline()) {
        response.failure = input.reason(response.lastResult == ReadResult::ChunkedBodyFailed);
    }
    return response.lastResult;
}

} // namespace tarvex::http
