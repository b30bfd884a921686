// WCAG 2 luminance and contrast, and link colours kept readable on any background.
#include "ui/color_contrast.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace tarvex::ui {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kLink{0, 0, 238};
constexpr Rgb kVisited{85, 26, 139};

TEST(ContrastRatio, KnownAnswers) {
    // The ends of the scale, and pairs as WebAIM's contrast checker gives them.
    EXPECT_DOUBLE_EQ(relativeLuminance(kWhite), 1.0);
    EXPECT_DOUBLE_EQ(relativeLuminance(kBlack), 0.0);
    EXPECT_DOUBLE_EQ(contrastRatio(kWhite, kBlack), 21.0);
    EXPECT_NEAR(contrastRatio(Rgb{0, 0, 255}, kWhite), 8.59, 0.005);
    EXPECT_NEAR(contrastRatio(Rgb{0x77, 0x77, 0x77}, kWhite), 4.48, 0.005);
    EXPECT_NEAR(contrastRatio(kWhite, Rgb{0x76, 0x76, 0x76}), 4.54, 0.005);
    EXPECT_DOUBLE_EQ(contrastRatio(kLink, kLink), 1.0);
}

TEST(ReadableTextColor, LightBackgroundsKeepTheLinkColours) {
    for (const Rgb background : {kWhite, Rgb{239, 239, 239}, Rgb{240, 240, 240}}) {
        EXPECT_EQ(readableTextColor(kLink, background), kLink);
        EXPECT_EQ(readableTextColor(kVisited, background), kVisited);
    }
}

TEST(ReadableTextColor, DarkBackgroundsGetLighterBlueAndPurple) {
    for (const Rgb background :
         std::array{kBlack, Rgb{30, 30, 30}, Rgb{53, 53, 53}, Rgb{0, 0, 80}, Rgb{80, 80, 80}}) {
        const Rgb link = readableTextColor(kLink, background);
        EXPECT_GE(contrastRatio(link, background), kReadableContrast);
        EXPECT_GT(link.blue, link.red) << "still blue";
        EXPECT_GT(link.blue, link.green);
        EXPECT_GT(relativeLuminance(link), relativeLuminance(kLink));
        const Rgb visited = readableTextColor(kVisited, background);
        EXPECT_GE(contrastRatio(visited, background), kReadableContrast);
        EXPECT_GT(visited.blue, visited.red) << "still purple";
        EXPECT_GT(visited.red, visited.green);
        // Only as light as it needs to be: far from white.
        EXPECT_LT(contrastRatio(link, background), contrastRatio(kWhite, background));
    }
}

TEST(ReadableTextColor, MidGreyDarkensWhereWhiteCannotReach) {
    // White on 128 grey is 3.95:1, so lighter is no way out; black is 5.32:1.
    const Rgb grey{128, 128, 128};
    const Rgb link = readableTextColor(kLink, grey);
    EXPECT_GE(contrastRatio(link, grey), kReadableContrast);
    EXPECT_LT(relativeLuminance(link), relativeLuminance(kLink));
}

TEST(ReadableTextColor, EveryGreyBackgroundGetsAReadableLink) {
    // Where white and black stand out equally (about 117 grey) both reach only 4.58:1.
    for (int level = 0; level <= 255; ++level) {
        const auto grey = static_cast<std::uint8_t>(level);
        const Rgb background{grey, grey, grey};
        EXPECT_GE(contrastRatio(readableTextColor(kLink, background), background),
                  kReadableContrast)
            << level;
        EXPECT_GE(contrastRatio(readableTextColor(kVisited, background), background),
                  kReadableContrast)
            << level;
    }
}

} // namespace
} // namespace tarvex::ui
