#include "service/http_request.h"

#include "base/ascii_case.h"
#include "service/http_grammar.h"

#include <algorithm>

namespace tarvex::search {
namespace {

enum class LineStatus { Line, NeedMore, TooLong };

// One line ending in LF from the front of `rest`, at most `limit` bytes with its end; a CR
// before the LF is dropped (RFC 9112 2.2 lets a bare LF end a line too).
LineStatus takeLine(std::string_view& rest, std::size_t limit, std::string_view& line) {
    if (rest.empty()) {
        return LineStatus::NeedMore;
    }
    const std::size_t end = rest.substr(0, limit).find('\n');
    if (end == std::string_view::npos) {
        return rest.size() >= limit ? LineStatus::TooLong : LineStatus::NeedMore;
    }
    line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    rest.remove_prefix(end + 1);
    return LineStatus::Line;
}

std::string lowerCase(std::string_view text) {
    std::string lower{text};
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Whether the comma-separated list `list` holds `word`, in any case.
bool listHas(std::string_view list, std::string_view word) {
    while (!list.empty()) {
        const auto comma = list.find(',');
        if (lowerCase(trimmed(list.substr(0, comma))) == word) {
            return true;
        }
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
    return false;
}

// RFC 9112 3.2: an HTTP/1.1 request needs one Host field; no request may carry two, or one whose
// value is not a host.
bool hostIsSound(const RequestHead& head) {
    std::size_t count = 0;
    bool valid = true;
    for (const auto& [name, value] : head.fields) {
        if (name == "host") {
            ++count;
            valid = valid && isHostValue(value);
        }
    }
    return count == 1 ? valid : count == 0 && head.minorVersion == 0;
}

// The path of an origin-form or absolute-form target (RFC 9112 3.2), or nothing.
std::optional<std::string> pathOf(std::string_view target) {
    if (target == "*") {
        return std::string{target};
    }
    if (target.front() != '/') {
        const auto scheme = lowerCase(target.substr(0, 8));
        const std::size_t skip = scheme.starts_with("http://")    ? 7
                                 : scheme.starts_with("https://") ? 8
                                                                  : 0;
        if (skip == 0) {
            return std::nullopt;
        }
        const auto slash = target.find('/', skip);
        target = slash == std::string_view::npos ? std::string_view{"/"} : target.substr(slash);
    }
    return std::string{target.substr(0, target.find_first_of("?#"))};
}

} // namespace

std::optional<std::string_view> RequestHead::field(std::string_view name) const {
    for (const auto& [fieldName, value] : fields) {
        if (fieldName == name) {
            return value;
        }
    }
    return std::nullopt;
}

bool RequestHead::keepAlive() const {
    const auto connection = field("connection");
    if (minorVersion == 0) {
        return connection && listHas(*connection, "keep-alive");
    }
    return !connection || !listHas(*connection, "close");
}

bool RequestHead::expectsContinue() const {
    const auto expect = field("expect");
    return minorVersion >= 1 && expect && lowerCase(trimmed(*expect)) == "100-continue";
}

void RequestParser::reset() {
    m_state = State::RequestLine;
    m_head = RequestHead{};
    m_body.clear();
    m_headBytes = 0;
    m_remaining = 0;
    m_failure = 0;
}

ParseStatus RequestParser::fail(int status) {
    m_state = State::Failed;
    m_failure = status;
    return ParseStatus::Failed;
}

ParseStatus RequestParser::take(std::string& input) {
    std::string_view rest{input};
    Step stop;
    while (!stop) {
        switch (m_state) {
        case State::RequestLine:
        case State::Fields:
        case State::Trailers:
            stop = takeHeadLine(rest);
            break;
        case State::HeadDone:
            stop = startBody();
            break;
        case State::LengthBody:
        case State::ChunkData:
            stop = takeBodyBytes(rest);
            break;
        case State::ChunkSize:
            stop = takeChunkSizeLine(rest);
            break;
        case State::ChunkEnd:
            stop = takeChunkEnd(rest);
            break;
        case State::Done:
            stop = ParseStatus::Message;
            break;
        case State::Failed:
            stop = ParseStatus::Failed;
            break;
        }
    }
    input.erase(0, input.size() - rest.size());
    return *stop;
}

RequestParser::Step RequestParser::takeHeadLine(std::string_view& rest) {
    const bool requestLine = m_state == State::RequestLine;
    const std::size_t limit =
        requestLine ? kMaxRequestLineBytes : kMaxHeadBytes - std::min(m_headBytes, kMaxHeadBytes);
    std::string_view line;
    const LineStatus got = takeLine(rest, limit, line);
    if (got == LineStatus::NeedMore) {
        return ParseStatus::NeedMore;
    }
    if (got == LineStatus::TooLong) {
        return fail(requestLine ? 414 : 431);
    }
    m_headBytes += line.size() + 2;
    if (m_headBytes > kMaxHeadBytes) {
        return fail(431);
    }
    if (requestLine) {
        // RFC 9112 2.2: empty lines before a request are ignored.
        if (!line.empty() && !readRequestLine(line)) {
            return ParseStatus::Failed;
        }
        return std::nullopt;
    }
    if (!line.empty()) {
        if (m_state == State::Fields && !readField(line)) {
            return ParseStatus::Failed;
        }
        return std::nullopt;
    }
    if (m_state == State::Trailers) {
        m_state = State::Done;
        return std::nullopt;
    }
    return endHead();
}

RequestParser::Step RequestParser::endHead() {
    if (!hostIsSound(m_head)) {
        return fail(400);
    }
    if (const int refused = framing(); refused != 0) {
        return fail(refused);
    }
    m_state = State::HeadDone;
    return ParseStatus::Head;
}

RequestParser::Step RequestParser::startBody() {
    if (m_head.chunked) {
        m_state = State::ChunkSize;
        return std::nullopt;
    }
    if (m_head.contentLength.value_or(0) > m_maxBodyBytes) {
        return fail(413);
    }
    m_remaining = m_head.contentLength.value_or(0);
    m_state = m_remaining == 0 ? State::Done : State::LengthBody;
    return std::nullopt;
}

RequestParser::Step RequestParser::takeBodyBytes(std::string_view& rest) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, rest.size()));
    m_body.append(rest.substr(0, piece));
    rest.remove_prefix(piece);
    m_remaining -= piece;
    if (m_remaining > 0) {
        return ParseStatus::NeedMore;
    }
    m_state = m_state == State::LengthBody ? State::Done : State::ChunkEnd;
    return std::nullopt;
}

RequestParser::Step RequestParser::takeChunkSizeLine(std::string_view& rest) {
    std::string_view line;
    const LineStatus got = takeLine(rest, kMaxChunkLineBytes, line);
    if (got == LineStatus::NeedMore) {
        return ParseStatus::NeedMore;
    }
    if (got == LineStatus::TooLong) {
        return fail(400);
    }
    if (const int refused = readChunkSize(line); refused != 0) {
        return fail(refused);
    }
    return std::nullopt;
}

RequestParser::Step RequestParser::takeChunkEnd(std::string_view& rest) {
    // RFC 9112 7.1: chunk data is followed by CRLF and nothing else.
    std::string_view line;
    const LineStatus got = takeLine(rest, 2, line);
    if (got == LineStatus::NeedMore) {
        return ParseStatus::NeedMore;
    }
    if (got == LineStatus::TooLong || !line.empty()) {
        return fail(400);
    }
    m_state = State::ChunkSize;
    return std::nullopt;
}

bool RequestParser::readRequestLine(std::string_view line) {
    // RFC 9112 3: method SP request-target SP HTTP-version, single blanks.
    const auto firstBlank = line.find(' ');
    const auto lastBlank = line.rfind(' ');
    if (firstBlank == std::string_view::npos || firstBlank == lastBlank) {
        m_failure = 400;
        m_state = State::Failed;
        return false;
    }
    const std::string_view method = line.substr(0, firstBlank);
    const std::string_view target = line.substr(firstBlank + 1, lastBlank - firstBlank - 1);
    const std::string_view version = line.substr(lastBlank + 1);
    const bool targetClean =
        !target.empty() && std::none_of(target.begin(), target.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
        });
    const bool versionShape = version.size() == 8 && version.starts_with("HTTP/") &&
                              version[5] >= '0' && version[5] <= '9' && version[6] == '.' &&
                              version[7] >= '0' && version[7] <= '9';
    const auto path = targetClean ? pathOf(target) : std::nullopt;
    if (!isToken(method) || !versionShape || !path) {
        m_failure = 400;
        m_state = State::Failed;
        return false;
    }
    if (version[5] != '1') {
        m_failure = 505;
        m_state = State::Failed;
        return false;
    }
    m_head.method = method;
    m_head.target = target;
    m_head.path = *path;
    m_head.minorVersion = version[7] - '0';
    m_state = State::Fields;
    return true;
}

bool RequestParser::readField(std::string_view line) {
    // RFC 9112 5.1 and 5.2: no blank before the colon, no folded lines.
    const auto colon = line.find(':');
    const bool clean =
        std::none_of(line.begin(), line.end(), [](char c) { return c == '\0' || c == '\r'; });
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon)) || !clean) {
        m_failure = 400;
        m_state = State::Failed;
        return false;
    }
    m_head.fields.emplace_back(lowerCase(line.substr(0, colon)),
                               std::string{trimmed(line.substr(colon + 1))});
    return true;
}

int RequestParser::framing() {
    bool transferEncoding = false;
    std::optional<std::string> codings;
    for (const auto& [name, value] : m_head.fields) {
        if (name == "transfer-encoding") {
            codings = codings ? *codings + "," + value : value;
            transferEncoding = true;
        } else if (name == "content-length") {
            // Digits only, and every Content-Length the same (RFC 9112 6.3).
            if (value.empty() || value.size() > 18 ||
                value.find_first_not_of("0123456789") != std::string::npos) {
                return 400;
            }
            const std::uint64_t length = std::stoull(value);
            if (m_head.contentLength && *m_head.contentLength != length) {
                return 400;
            }
            m_head.contentLength = length;
        }
    }
    if (!transferEncoding) {
        return 0;
    }
    // RFC 9112 6.1: Transfer-Encoding with Content-Length, or in HTTP/1.0, is faulty framing;
    // 6.3: a final coding other than chunked cannot be framed.
    if (m_head.contentLength || m_head.minorVersion == 0) {
        return 400;
    }
    const std::string list = lowerCase(*codings);
    std::string_view rest{list};
    std::vector<std::string_view> names;
    while (!rest.empty() || names.empty()) {
        const auto comma = rest.find(',');
        names.push_back(trimmed(rest.substr(0, comma)));
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    if (names.back() != "chunked") {
        return 400;
    }
    if (names.size() > 1) {
        return 501; // no other coding is decoded here
    }
    m_head.chunked = true;
    return 0;
}

int RequestParser::readChunkSize(std::string_view line) {
    std::size_t digits = 0;
    std::uint64_t size = 0;
    while (digits < line.size() && asciiHexValue(line[digits]) >= 0) {
        if (digits == kMaxChunkSizeDigits) {
            return 400;
        }
        size = size * 16 + static_cast<std::uint64_t>(asciiHexValue(line[digits]));
        ++digits;
    }
    if (digits == 0 || !isChunkExtensionList(line.substr(digits))) {
        return 400;
    }
    if (size > m_maxBodyBytes - m_body.size()) {
        return 413;
    }
    if (size == 0) {
        m_state = State::Trailers;
    } else {
        m_remaining = size;
        m_state = State::ChunkData;
    }
    return 0;
}

const char* reasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}

} // namespace tarvex::search
