// Response reading over a scripted byte source. Every answer is read whole and in pieces of
// every size from 1 to 64 bytes, and must read the same each time.
#include "http/http_response.h"
#include "support/http_pieces.h"
#include "support/piecewise.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarvex::http {
namespace {

using test::PieceSource;

constexpr std::size_t kReadBlock = 4096;

class ResponseReaderTest : public ::testing::Test {
protected:
    // Reads `bytes` whole into m_response, once every piece size has been seen to read the same.
    ReadResult read(const std::string& bytes) {
        EXPECT_TRUE(test::sameAtEveryPieceSize(bytes, [](std::string_view raw, std::size_t piece) {
            PieceSource source{raw, piece};
            HttpResponse response;
            (void)readResponse(source, response, kReadBlock);
            return test::responseText(response, raw);
        })) << test::printableBytes(bytes);
        PieceSource source{bytes, 0};
        return readResponse(source, m_response, kReadBlock);
    }

    HttpResponse m_response;
};

TEST_F(ResponseReaderTest, BodyOfKnownLength) {
    ASSERT_EQ(
        read("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/xml\r\n\r\nhelloEXTRA"),
        ReadResult::Done);
    EXPECT_EQ(m_response.status, 200);
    EXPECT_EQ(m_response.body, "hello");
    EXPECT_EQ(m_response.headers.get("content-type"), "text/xml") << "names compare without case";
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nshort"),
              ReadResult::BodyReadFailed);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nContent-Length: ten\r\n\r\nshort"),
              ReadResult::BodyReadFailed);
}

TEST_F(ResponseReaderTest, BodyUpToTheEndOfTheConnection) {
    ASSERT_EQ(read("HTTP/1.0 200 OK\r\nServer: x\r\n\r\nall of it"), ReadResult::Done);
    EXPECT_EQ(m_response.status, 200) << "the version is not examined";
    EXPECT_EQ(m_response.body, "all of it");
}

TEST_F(ResponseReaderTest, ChunkedBodies) {
    ASSERT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"
                   "5\r\nhello\r\nA\r\n, world..!\r\n0\r\n\r\n"),
              ReadResult::Done);
    EXPECT_EQ(m_response.body, "hello, world..!") << "chunked wins over Content-Length";

    const std::string big(5000, 'x');
    ASSERT_EQ(
        read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: Expires\r\n\r\n1388\r\n" +
             big + "\r\n0\r\nExpires: never\r\n\r\n"),
        ReadResult::Done);
    EXPECT_EQ(m_response.body, big) << "a chunk larger than the work buffer";
    EXPECT_EQ(m_response.headers.get("Expires"), "never") << "an announced trailer";

    EXPECT_EQ(
        read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;ext=1\r\nhello\r\n0\r\n\r\n"),
        ReadResult::ChunkedBodyFailed)
        << "no chunk extensions";
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n80000000\r\n"),
              ReadResult::ChunkedBodyFailed)
        << "2^31";
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFF\r\n"),
              ReadResult::ChunkedBodyFailed);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloXX0\r\n\r\n"),
              ReadResult::ChunkedBodyFailed);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel"),
              ReadResult::ChunkedBodyFailed);
}

TEST_F(ResponseReaderTest, ChunkedIsRecognisedOnlyInLowerCase) {
    ASSERT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"),
              ReadResult::Done);
    EXPECT_EQ(m_response.body, "5\r\nhello\r\n0\r\n\r\n")
        << "read to the end of the connection instead";
}

TEST_F(ResponseReaderTest, InterimContinueIsSkipped) {
    ASSERT_EQ(read("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
              ReadResult::Done);
    EXPECT_EQ(m_response.status, 200);
    EXPECT_EQ(m_response.body, "ok");
}

TEST_F(ResponseReaderTest, HeaderLines) {
    const std::string longValue(1024, 'v');
    ASSERT_EQ(
        read("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nset-cookie: b=2\r\nNo colon here\r\nLong: " +
             longValue + "\r\nShort: " + longValue.substr(1) +
             "\r\nSpaced:   v  \r\nWWW-Authenticate: Basic realm=x\r\n"
             "Proxy-Authenticate: Digest y\r\nContent-Length: 0\r\n\r\n"),
        ReadResult::Done);
    EXPECT_EQ(m_response.headers.get("Set-Cookie"), "a=1,b=2")
        << "repeated names joined with a comma";
    EXPECT_FALSE(m_response.headers.get("Long")) << "a 1024-character value is ignored";
    EXPECT_EQ(m_response.headers.get("Short")->size(), 1023U);
    EXPECT_EQ(m_response.headers.get("Spaced"), "v  ") << "leading blanks dropped, trailing kept";
    EXPECT_FALSE(m_response.headers.get("No colon here"));
    ASSERT_EQ(m_response.challenges.size(), 2U);
    EXPECT_EQ(m_response.challenges[0], "Basic realm=x");
    EXPECT_EQ(m_response.challenges[1], "Digest y");
}

TEST_F(ResponseReaderTest, BrokenStatusAndHeaders) {
    EXPECT_EQ(read("HTTP/1.1 abc\r\n\r\n"), ReadResult::InvalidStatusLine);
    EXPECT_EQ(read("garbage\r\n\r\n"), ReadResult::InvalidStatusLine);
    EXPECT_EQ(read("HTTP/1.1 99999 Big\r\n\r\n"), ReadResult::InvalidStatusLine);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n"), ReadResult::HeaderReadFailed)
        << "cut in the headers";
    EXPECT_EQ(read(""), ReadResult::HeaderReadFailed);
}

TEST(ResponseReaderFailureTest, AFailedReceiveEndsABodyWithoutLength) {
    PieceSource source{"HTTP/1.1 200 OK\r\n\r\npartial", 0};
    source.failAtEnd();
    HttpResponse response;
    ASSERT_EQ(readResponse(source, response, 4096), ReadResult::Done);
    EXPECT_EQ(response.body, "partial");
}

} // namespace
} // namespace tarvex::http
