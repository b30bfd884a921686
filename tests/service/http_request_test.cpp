// Reading HTTP/1.1 requests off a connection: pipelined requests at every piece size, the
// framing of bodies, and the caps on everything a client sends.
#include "service/http_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvex::search {
namespace {

constexpr std::size_t kMaxBody = 64;

struct Seen {
    std::string method;
    std::string path;
    std::string body;
    bool keepAlive = false;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << seen.method << " " << seen.path << " [" << seen.body << "] " << seen.keepAlive;
}

// Every request of `stream`, handed over `piece` bytes at a time; a failure ends the list with
// {"failed", status}.
std::vector<Seen> readAll(std::string_view stream, std::size_t piece) {
    RequestParser parser{kMaxBody};
    std::string input;
    std::vector<Seen> seen;
    std::size_t given = 0;
    for (;;) {
        const ParseStatus status = parser.take(input);
        if (status == ParseStatus::Message) {
            const RequestHead& head = parser.head();
            seen.push_back({head.method, head.path, parser.body(), head.keepAlive()});
            parser.reset();
        } else if (status == ParseStatus::Failed) {
            seen.push_back({"failed", std::to_string(parser.failure()), "", false});
            return seen;
        } else if (status == ParseStatus::NeedMore) {
            if (given >= stream.size()) {
                return seen;
            }
            input.append(stream.substr(given, piece));
            given += piece;
        }
    }
}

// The number a lone failing request gets, the same at every piece size.
std::string failureOf(const std::string& request) {
    std::string status;
    for (const std::size_t piece :
         {request.size(), std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
        const std::vector<Seen> seen = readAll(request, piece);
        const std::string got =
            seen.empty() || seen.back().method != "failed" ? "none" : seen.back().path;
        EXPECT_TRUE(status.empty() || got == status) << request.substr(0, 60) << " at " << piece;
        status = got;
    }
    return status;
}

TEST(RequestParserTest, PipelinedRequestsReadTheSameAtEveryPieceSize) {
    const std::string stream =
        "\r\nGET /apis?x=1 HTTP/1.1\r\nHost: a\r\n\r\n"
        "POST /search/beta2 HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nhello"
        "POST /search/beta2 HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: Chunked\r\n\r\n"
        "3;name=value\r\nabc\r\nA \r\n0123456789\r\n0\r\nTrailer: x\r\n\r\n"
        "GET http://localhost:8080/search?q=a HTTP/1.0\nConnection: Keep-Alive\n\n"
        "HEAD /apis HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n";
    const std::vector<Seen> expected = {
        {"GET", "/apis", "", true},
        {"POST", "/search/beta2", "hello", true},
        {"POST", "/search/beta2", "abc0123456789", true},
        {"GET", "/search", "", true},
        {"HEAD", "/apis", "", false},
    };
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        ASSERT_EQ(readAll(stream, piece), expected) << "in pieces of " << piece;
    }
}

TEST(RequestParserTest, TheBytesOfTheNextRequestStayForIt) {
    RequestParser parser{kMaxBody};
    std::string input = "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 2\r\n\r\nokGET / HT";
    ASSERT_EQ(parser.take(input), ParseStatus::Head);
    ASSERT_EQ(parser.take(input), ParseStatus::Message);
    EXPECT_EQ(parser.body(), "ok");
    EXPECT_EQ(input, "GET / HT");
}

TEST(RequestParserTest, ConnectionAndExpectFollowTheVersion) {
    const auto head = [](const std::string& request) {
        RequestParser parser{kMaxBody};
        std::string input = request;
        EXPECT_EQ(parser.take(input), ParseStatus::Head) << request;
        return parser.head();
    };
    EXPECT_FALSE(head("GET / HTTP/1.0\r\n\r\n").keepAlive());
    EXPECT_FALSE(head("GET / HTTP/1.1\r\nHost: a\r\nConnection: te, Close\r\n\r\n").keepAlive());
    EXPECT_TRUE(head("GET / HTTP/1.1\r\nHost: a\r\nConnection: te\r\n\r\n").keepAlive());
    EXPECT_TRUE(
        head("POST / HTTP/1.1\r\nHost: a\r\nExpect: 100-Continue\r\n\r\n").expectsContinue());
    EXPECT_FALSE(head("POST / HTTP/1.0\r\nExpect: 100-continue\r\n\r\n").expectsContinue());
    EXPECT_EQ(head("GET /a%20b?c#d HTTP/1.1\r\nHost: a\r\n\r\n").path, "/a%20b");
    EXPECT_EQ(head("GET HTTPS://host HTTP/1.1\r\nHost: host\r\n\r\n").path, "/");
}

TEST(RequestParserTest, MalformedRequestsAreRefused) {
    struct Row {
        const char* request;
        const char* status;
    };
    const Row rows[] = {
        {"GET  / HTTP/1.1\r\n\r\n", "400"},
        {"GET relative HTTP/1.1\r\n\r\n", "400"},
        {"GET / HTTP/1.1 \r\n\r\n", "400"},
        {"G(T / HTTP/1.1\r\n\r\n", "400"},
        {"GET / HTTP/2.0\r\n\r\n", "505"},
        {"GET / HTTP/1.1\r\nHost: a\r\nX-A : b\r\n\r\n", "400"},             // RFC 9112 5.1
        {"GET / HTTP/1.1\r\nHost: a\r\nA: b\r\n c\r\n\r\n", "400"},          // obsolete folding
        {"GET / HTTP/1.1\r\nHost: a\r\nA: b\rc\r\n\r\n", "400"},             // a bare CR
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1x\r\n\r\n", "400"}, // RFC 9112 6.3
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: -1\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 99999999999999999999\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n",
         "400"},
        {"POST / HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: gzip\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", "501"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n", "400"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n1000000000000000\r\n",
         "400"},
        // Past the body limit of 64 bytes, announced or chunked.
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 65\r\n\r\n", "413"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n41\r\n", "413"},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n40\r\n", "none"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(failureOf(row.request), row.status) << row.request;
    }
}

// HTTP/1.1 requests without a Host, or with two, used to be answered (RFC 9112 3.2: 400).
TEST(RequestParserTest, ARequestNamesOneHost) {
    struct Row {
        const char* request;
        const char* status;
    };
    const Row rows[] = {
        {"GET / HTTP/1.1\r\n\r\n", "400"},
        {"GET http://a/ HTTP/1.1\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: a\r\nHOST: a\r\n\r\n", "400"},
        {"GET / HTTP/1.0\r\nHost: a\r\nHost: b\r\n\r\n", "400"},
        // RFC 9110 7.2: uri-host [ ":" port ], nothing else.
        {"GET / HTTP/1.1\r\nHost: a b\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: a\tb\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: a\x01\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: a\x7f\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: \xc3\xa9.example\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: u@a\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: a/b\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: a:8o\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: a%4\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: [::1\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: []\r\n\r\n", "400"},
        {"GET / HTTP/1.1\r\nHost: [::1]x\r\n\r\n", "400"},
        {"GET / HTTP/1.0\r\n\r\n", "none"},
        {"GET / HTTP/1.0\r\nHost: a\r\n\r\n", "none"},
        {"GET http://a/ HTTP/1.1\r\nHost: a\r\n\r\n", "none"},
        {"GET / HTTP/1.1\r\nHost:  localhost:8080 \r\n\r\n", "none"},
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "none"},
        {"GET / HTTP/1.1\r\nHost: [::1]:80\r\n\r\n", "none"},
        {"GET / HTTP/1.1\r\nHost: xn--bcher-kva.example%2D1:\r\n\r\n", "none"},
        {"GET / HTTP/1.1\r\nHost:\r\n\r\n", "none"}, // a target without an authority
    };
    for (const Row& row : rows) {
        EXPECT_EQ(failureOf(row.request), row.status) << row.request;
    }
}

// An unclosed quoted string in a chunk extension used to pass as a sound chunk-size line.
TEST(RequestParserTest, ChunkExtensionsFollowTheirGrammar) {
    const auto chunked = [](const std::string& sizeLine) {
        return "POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n" + sizeLine +
               "\r\nhello\r\n0\r\n\r\n";
    };
    // RFC 9112 7.1.1: a token or a quoted-string, whose quoted-pairs may hold a quote.
    for (const std::string sound : {"5;name=\"a;b\\\"c\"", "5;a=\"\\\\\";b", "5 ; a = b ;c",
                                    "5;a=\"\t\xff\\\t\"", "5;a=\"\""}) {
        const std::string request = chunked(sound);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, request.size()}) {
            EXPECT_EQ(readAll(request, piece), (std::vector<Seen>{{"POST", "/", "hello", true}}))
                << sound << " in pieces of " << piece;
        }
    }
    for (const std::string malformed :
         {"5;name=\"abc", "5;name=\"abc\\\"", "5;name=\"abc\\", "5;a=\"b\x01\"", "5;a=\"b\"c",
          "5;a=\"b\"\r", "5;a=b c", "5;a=", "5;=b", "5;", "5;a;"}) {
        EXPECT_EQ(failureOf(chunked(malformed)), "400") << malformed;
    }
}

TEST(RequestParserTest, EveryPartOfAHeadHasACap) {
    EXPECT_EQ(failureOf("GET /" + std::string(RequestParser::kMaxRequestLineBytes, 'a')), "414");
    std::string fields = "GET / HTTP/1.1\r\nHost: a\r\n";
    while (fields.size() <= RequestParser::kMaxHeadBytes) {
        fields += "X-Field: " + std::string(100, 'v') + "\r\n";
    }
    EXPECT_EQ(failureOf(fields), "431");
    EXPECT_EQ(failureOf("GET / HTTP/1.1\r\nHost: a\r\nX: " +
                        std::string(RequestParser::kMaxHeadBytes, 'v')),
              "431");
    EXPECT_EQ(failureOf(std::string(RequestParser::kMaxHeadBytes, '\n')), "431");
    std::string trailers = "POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n";
    while (trailers.size() <= 2 * RequestParser::kMaxHeadBytes) {
        trailers += "T: " + std::string(100, 'v') + "\r\n";
    }
    EXPECT_EQ(failureOf(trailers), "431");
    EXPECT_EQ(failureOf("POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n1;" +
                        std::string(RequestParser::kMaxChunkLineBytes, 'e')),
              "400");
}

} // namespace
} // namespace tarvex::search
