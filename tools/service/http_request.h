#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex::search {

// The request line and header fields of one HTTP/1.x request.
struct RequestHead {
    std::string method;
    std::string target; // as sent
    std::string path;   // the target up to "?" or "#", without scheme and host
    int minorVersion = 1;
    std::vector<std::pair<std::string, std::string>> fields; // names in lower case
    std::optional<std::uint64_t> contentLength;
    bool chunked = false;

    // The value of the first field called `name` (lower case).
    [[nodiscard]] std::optional<std::string_view> field(std::string_view name) const;
    [[nodiscard]] bool hasBody() const { return chunked || contentLength.value_or(0) > 0; }
    // RFC 9112 9.3: HTTP/1.1 keeps the connection unless told "close", HTTP/1.0 only when
    // told "keep-alive".
    [[nodiscard]] bool keepAlive() const;
    [[nodiscard]] bool expectsContinue() const;
};

enum class ParseStatus {
    NeedMore, // every byte given was taken; more are needed
    Head,     // the head is complete; the next call goes on with the body
    Message,  // the body is complete too
    Failed,   // failure() says which HTTP status answers it
};

// Reads the requests that arrive on one connection, one after the other. Every part of a
// request has a cap, so a client cannot make it hold more than about kMaxHeadBytes plus the
// body limit.
class RequestParser {
public:
    // Request line, header fields and trailer fields together.
    static constexpr std::size_t kMaxHeadBytes = std::size_t{16} << 10;
    static constexpr std::size_t kMaxRequestLineBytes = std::size_t{8} << 10;
    // A chunk-size line with its extensions.
    static constexpr std::size_t kMaxChunkLineBytes = 256;
    // Chunk sizes past this many hex digits could overflow; no body is that large anyway.
    static constexpr std::size_t kMaxChunkSizeDigits = 15;

    explicit RequestParser(std::size_t maxBodyBytes) : m_maxBodyBytes(maxBodyBytes) {}

    // Takes bytes from the front of `input` as far as the current request reaches; the bytes of
    // a following (pipelined) request stay in `input`.
    [[nodiscard]] ParseStatus take(std::string& input);
    [[nodiscard]] const RequestHead& head() const { return m_head; }
    [[nodiscard]] std::string& body() { return m_body; }
    // 400, 413, 414, 431, 501 or 505 after Failed.
    [[nodiscard]] int failure() const { return m_failure; }
    // Ready for the next request on the connection.
    void reset();

private:
    enum class State {
        RequestLine,
        Fields,
        HeadDone,
        LengthBody,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailers,
        Done,
        Failed,
    };

    // What one step of take() leaves: nothing when it goes on, else the status take() returns.
    using Step = std::optional<ParseStatus>;

    [[nodiscard]] ParseStatus fail(int status);
    // The request line, a header field or a trailer field, by the state.
    [[nodiscard]] Step takeHeadLine(std::string_view& rest);
    // After the empty line that ends the head.
    [[nodiscard]] Step endHead();
    [[nodiscard]] Step startBody();
    // Body bytes up to the end of the body or of the current chunk.
    [[nodiscard]] Step takeBodyBytes(std::string_view& rest);
    [[nodiscard]] Step takeChunkSizeLine(std::string_view& rest);
    [[nodiscard]] Step takeChunkEnd(std::string_view& rest);
    [[nodiscard]] bool readRequestLine(std::string_view line);
    [[nodiscard]] bool readField(std::string_view line);
    // Checks the framing of the body once the head is read; 0 when it is sound.
    [[nodiscard]] int framing();
    [[nodiscard]] int readChunkSize(std::string_view line);

    std::size_t m_maxBodyBytes;
    State m_state = State::RequestLine;
    RequestHead m_head;
    std::string m_body;
    std::size_t m_headBytes = 0;
    std::uint64_t m_remaining = 0; // of the body or of the current chunk
    int m_failure = 0;
};

// The reason phrase of an HTTP status this service sends.
[[nodiscard]] const char* reasonPhrase(int status);

} // namespace tarvex::search
