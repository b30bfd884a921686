// The caps on what a server may send and the time limit of a response read: each one holds at its
// edge, and going past it is a read failure. Large answers are made as they are read.
#include "http/http_response.h"
#include "support/hostile_answers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

namespace tarvex::http {
namespace {

using test::collidingHeaderName;
using test::kShortHeaderLineBytes;
using test::shortHeaderLines;

// Hands out block after block of an answer, in pieces of at most `piece` bytes (0: as much as
// fits) and never more than one block per receive; counts the bytes handed out.
class GeneratedSource final : public ByteSource {
public:
    using Blocks = std::function<std::string(std::size_t index)>;

    explicit GeneratedSource(Blocks blocks, std::size_t piece = 0)
        : m_blocks(std::move(blocks)), m_piece(piece) {}

    HResult receive(char* buffer, std::size_t capacity, std::size_t& count) override {
        if (m_onReceive) {
            m_onReceive(m_receives);
        }
        ++m_receives;
        count = 0;
        while (m_at == m_block.size() && !m_ended) {
            m_block = m_blocks(m_index++);
            m_at = 0;
            m_ended = m_block.empty();
        }
        count = std::min({capacity, m_block.size() - m_at, m_piece == 0 ? capacity : m_piece});
        std::memcpy(buffer, m_block.data() + m_at, count);
        m_at += count;
        m_delivered += count;
        return kOk;
    }

    // Called before every receive with the number of receives before it.
    void onReceive(std::function<void(std::size_t)> call) { m_onReceive = std::move(call); }
    [[nodiscard]] std::size_t delivered() const { return m_delivered; }

private:
    Blocks m_blocks;
    std::size_t m_piece;
    std::function<void(std::size_t)> m_onReceive;
    std::string m_block;
    std::size_t m_at = 0;
    std::size_t m_index = 0;
    std::size_t m_receives = 0;
    std::size_t m_delivered = 0;
    bool m_ended = false;
};

// The answer as one block.
GeneratedSource::Blocks whole(std::string bytes) {
    return [bytes = std::move(bytes)](std::size_t index) {
        return index == 0 ? bytes : std::string{};
    };
}

// Endless: `head`, then short distinct header lines without end.
GeneratedSource::Blocks endlessLines(std::string head) {
    return [head = std::move(head)](std::size_t index) {
        return index == 0 ? head : shortHeaderLines((index - 1) * 256, 256);
    };
}

class FakeClock final : public Clock {
public:
    [[nodiscard]] TimePoint now() const override { return m_now; }
    void advance(std::chrono::seconds by) { m_now += by; }

private:
    TimePoint m_now = std::chrono::steady_clock::now();
};

constexpr std::chrono::seconds kLimit{60};
// The read block size of these tests; no receive of the reader asks for more.
constexpr std::size_t kReadBlock = 4096;

// A header block of exactly `length` bytes: status line, Content-Length 0, long filler lines
// (their values are too long to be kept), the empty line.
std::string headerBlockOfLength(std::size_t length) {
    std::string block = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
    const std::string prefix = "Filler: ";
    while (block.size() < length - 2) {
        const std::size_t left = length - 2 - block.size();
        const std::size_t line = left < 4000 ? left : 2000;
        block += prefix + std::string(line - prefix.size() - 2, 'v') + "\r\n";
    }
    return block + "\r\n";
}

class HeaderCapsTest : public ::testing::TestWithParam<std::size_t> {
protected:
    ReadResult read(GeneratedSource::Blocks blocks) {
        GeneratedSource source{std::move(blocks), GetParam()};
        const ReadResult result = readResponse(source, m_response, kReadBlock);
        m_delivered = source.delivered();
        return result;
    }

    HttpResponse m_response;
    std::size_t m_delivered = 0;
};

INSTANTIATE_TEST_SUITE_P(Pieces, HeaderCapsTest, ::testing::Values(0, 1, 7));

// 65,536 names of one hash kept the header table busy for seconds; 256 lines are read at once.
TEST_P(HeaderCapsTest, HeaderLinesUpToTheCap) {
    std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
    for (std::size_t i = 0; i + 1 < kMaxHeaderLines; ++i) {
        answer += collidingHeaderName(i) + ": " + std::to_string(i) + "\r\n";
    }
    ASSERT_EQ(read(whole(answer + "\r\n")), ReadResult::Done);
    EXPECT_EQ(m_response.headers.size(), kMaxHeaderLines);
    EXPECT_EQ(m_response.headers.get(collidingHeaderName(kMaxHeaderLines - 2)),
              std::to_string(kMaxHeaderLines - 2));

    answer += "No colon, but a line all the same\r\n";
    EXPECT_EQ(read(whole(answer + "\r\n")), ReadResult::HeaderReadFailed) << "one line more";
}

TEST_P(HeaderCapsTest, HeaderBytesUpToTheCap) {
    ASSERT_EQ(read(whole(headerBlockOfLength(kMaxHeaderBytes) + "body")), ReadResult::Done);
    EXPECT_EQ(m_response.body, "") << "Content-Length 0";
    EXPECT_EQ(read(whole(headerBlockOfLength(kMaxHeaderBytes + 1))), ReadResult::HeaderReadFailed);
}

// 63 MiB of short distinct header lines took 630 MB or more before it ended.
TEST_P(HeaderCapsTest, EndlessHeaderLinesStopAtTheByteCap) {
    EXPECT_EQ(read(endlessLines("HTTP/1.1 200 OK\r\n")), ReadResult::HeaderReadFailed);
    EXPECT_LE(m_delivered, kMaxHeaderBytes + kReadBlock) << "no more than one receive past the cap";
    EXPECT_EQ(m_response.headers.size(), 0U);
}

TEST_P(HeaderCapsTest, InterimAnswersCountTowardsTheByteCap) {
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    const std::string final = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    std::string answer;
    while (answer.size() + final.size() - 2 <= kMaxHeaderBytes) {
        answer += interim;
    }
    EXPECT_EQ(read(whole(answer + final)), ReadResult::HeaderReadFailed);
    answer.erase(0, interim.size());
    ASSERT_EQ(read(whole(answer + final)), ReadResult::Done);
    EXPECT_EQ(m_response.body, "ok");
}

TEST_P(HeaderCapsTest, TrailerLinesShareTheLineCap) {
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T0\r\n\r\n"
                             "2\r\nok\r\n0\r\n";
    std::string trailers;
    for (std::size_t i = 0; i + 2 < kMaxHeaderLines; ++i) {
        trailers += "T" + std::to_string(i) + ": x\r\n";
    }
    ASSERT_EQ(read(whole(head + trailers + "\r\n")), ReadResult::Done);
    EXPECT_EQ(m_response.body, "ok");
    EXPECT_EQ(m_response.headers.size(), kMaxHeaderLines);
    EXPECT_EQ(read(whole(head + trailers + "One: more\r\n\r\n")), ReadResult::ChunkedBodyFailed);

    const std::string unannounced = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                    "2\r\nok\r\n0\r\n";
    EXPECT_EQ(read(whole(unannounced + trailers + "One: more\r\nAnd: another\r\n\r\n")),
              ReadResult::ChunkedBodyFailed)
        << "trailers that are not kept count too";
}

TEST_P(HeaderCapsTest, TrailerBytesShareTheByteCap) {
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T\r\n\r\n"
                             "2\r\nok\r\n0\r\n";
    std::string trailers;
    while (trailers.size() < kMaxHeaderBytes) {
        trailers += "T: " + std::string(2000, 'v') + "\r\n";
    }
    EXPECT_EQ(read(whole(head + trailers + "\r\n")), ReadResult::ChunkedBodyFailed);
    EXPECT_EQ(read(endlessLines(head)), ReadResult::ChunkedBodyFailed);
    EXPECT_LE(m_delivered, head.size() + kMaxHeaderBytes + kReadBlock);
}

// A body without length that ran past 64 MiB was cut at the cap and read as complete.
TEST(BodyCapTest, ABodyWithoutLengthPastTheCapFails) {
    constexpr std::size_t kBlock = std::size_t{64} << 10;
    constexpr std::size_t kBlocks = kMaxResponseBytes / kBlock;
    const auto body = [](std::size_t extra) {
        return [extra](std::size_t index) {
            if (index == 0) {
                return std::string{"HTTP/1.1 200 OK\r\nServer: x\r\n\r\n"};
            }
            if (index <= kBlocks) {
                return std::string(kBlock, 'b');
            }
            return std::string(index == kBlocks + 1 ? extra : 0, 'e');
        };
    };
    HttpResponse response;
    GeneratedSource largest{body(0)};
    ASSERT_EQ(readResponse(largest, response, kReadBlock), ReadResult::Done);
    EXPECT_EQ(response.body.size(), kMaxResponseBytes);

    GeneratedSource longer{body(1)};
    EXPECT_EQ(readResponse(longer, response, kReadBlock), ReadResult::BodyReadFailed);
    EXPECT_EQ(response.body, "");
}

// Before every receive the clock moves on a second; answers that need more than 60 receives
// fail in the part they are in, and the same answers without a deadline are read.
TEST(ResponseDeadlineTest, EveryPartOfTheAnswerIsTimed) {
    const std::string longText(600, 'x');
    const std::pair<std::string, ReadResult> cases[] = {
        {"HTTP/1.1 200 OK\r\nLong: " + longText + "\r\nContent-Length: 0\r\n\r\n",
         ReadResult::HeaderReadFailed},
        {"HTTP/1.1 200 OK\r\nContent-Length: 600\r\n\r\n" + longText, ReadResult::BodyReadFailed},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n258\r\n" + longText +
             "\r\n0\r\n\r\n",
         ReadResult::ChunkedBodyFailed},
        {"HTTP/1.1 200 OK\r\n\r\n" + longText, ReadResult::BodyReadFailed},
    };
    for (const auto& [answer, failure] : cases) {
        for (const bool timed : {true, false}) {
            FakeClock clock;
            const Clock::TimePoint deadline =
                timed ? clock.now() + kLimit : Clock::TimePoint::max();
            GeneratedSource source{whole(answer), 7};
            source.onReceive([&clock](std::size_t) { clock.advance(std::chrono::seconds{1}); });
            HttpResponse response;
            EXPECT_EQ(readResponse(source, response, kReadBlock, clock, deadline),
                      timed ? failure : ReadResult::Done)
                << answer.substr(0, 40);
        }
    }
}

// The time runs out while the last bytes are on hand: no wait follows, and still the read fails.
TEST(ResponseDeadlineTest, TimeSpentOnTheAnswerCounts) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n";
    const std::pair<std::size_t, ReadResult> cases[] = {
        {0, ReadResult::HeaderReadFailed}, // the header lines are read after this receive
        {1, ReadResult::BodyReadFailed},   // the body is complete after this one
        {2, ReadResult::Done},             // never comes
    };
    for (const auto& [slowReceive, result] : cases) {
        FakeClock clock;
        const Clock::TimePoint deadline = clock.now() + kLimit;
        GeneratedSource source{[&head](std::size_t index) {
            return index == 0 ? head : std::string{index == 1 ? "body" : ""};
        }};
        source.onReceive([&clock, slowReceive = slowReceive](std::size_t receive) {
            if (receive == slowReceive) {
                clock.advance(kLimit + std::chrono::seconds{1});
            }
        });
        HttpResponse response;
        EXPECT_EQ(readResponse(source, response, kReadBlock, clock, deadline), result)
            << slowReceive;
    }
}

} // namespace
} // namespace tarvex::http
