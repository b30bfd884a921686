// The piece-size helper itself: it must catch a reader whose result depends on how the bytes
// are split, and the pieces must be what it says they are.
#include "soap/byte_stream.h"
#include "support/piece_stream.h"
#include "support/piecewise.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex::test {
namespace {

// Reads the stream to its end, as a sound parser does.
std::string readToEnd(soap::ByteStream& stream) {
    std::string bytes;
    char buffer[100];
    std::size_t count = 0;
    while (!failed(stream.read(buffer, sizeof buffer, count)) && count > 0) {
        bytes.append(buffer, count);
    }
    return bytes;
}

// Takes the first read for the whole message, as a careless parser might.
std::string readOnce(soap::ByteStream& stream) {
    char buffer[100];
    std::size_t count = 0;
    (void)stream.read(buffer, sizeof buffer, count);
    return std::string(buffer, count);
}

const std::string kMessage = "<a>a short message</a>";

TEST(PiecewiseTest, AReaderThatKeepsOnlyTheFirstPieceIsCaught) {
    const ::testing::AssertionResult result = sameWholeAndInPieces(kMessage, readOnce);
    ASSERT_FALSE(result);
    EXPECT_NE(std::string{result.message()}.find("in pieces of 1 bytes"), std::string::npos)
        << result.message();
}

TEST(PiecewiseTest, AReaderThatGoesOnToTheEndPassesAndGivesTheWholeOutcome) {
    std::string whole;
    ASSERT_TRUE(sameWholeAndInPieces(kMessage, readToEnd, &whole));
    EXPECT_EQ(whole, kMessage);
}

TEST(PiecewiseTest, AnOutcomeThatDiffersAtOneSizeOnlyIsCaught) {
    const auto parseAt = [](std::string_view bytes, std::size_t piece) {
        return piece == kLargestPiece ? std::string{"odd"} : std::string{bytes};
    };
    const ::testing::AssertionResult result = sameAtEveryPieceSize(kMessage, parseAt);
    ASSERT_FALSE(result);
    EXPECT_NE(std::string{result.message()}.find("in pieces of 64 bytes"), std::string::npos);
}

TEST(PiecewiseTest, PiecesAreCopiedAtMostPieceBytesAtATime) {
    PieceStream stream{kMessage, 3};
    char scratch[16];
    std::string_view chunk;
    ASSERT_EQ(stream.next(chunk, scratch, sizeof scratch), kOk);
    EXPECT_EQ(chunk, "<a>");
    EXPECT_EQ(chunk.data(), scratch) << "copied, not lent";
    EXPECT_FALSE(stream.atEnd());
    std::size_t count = 0;
    ASSERT_EQ(stream.read(scratch, 2, count), kOk);
    EXPECT_EQ(std::string(scratch, count), "a ") << "never more than asked for";
    EXPECT_EQ(readToEnd(stream), kMessage.substr(5));
    EXPECT_FALSE(stream.atEnd()) << "the end shows only as a read of nothing";
}

} // namespace
} // namespace tarvex::test
