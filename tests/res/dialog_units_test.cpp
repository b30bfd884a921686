#include "res/dialog_units.h"

#include <gtest/gtest.h>

namespace tarvex::res {
namespace {

TEST(BaseUnits, AverageLetterWidthRoundsHalvesUp) {
    EXPECT_EQ(baseUnitsFromFont(312, 13).x, 6);
    EXPECT_EQ(baseUnitsFromFont(337, 13).x, 6); // 6.48
    EXPECT_EQ(baseUnitsFromFont(338, 13).x, 7); // 6.5
    EXPECT_EQ(baseUnitsFromFont(0, 0).x, 0);
    EXPECT_EQ(baseUnitsFromFont(312, 13).y, 13);
}

TEST(ToPixels, ResultListOfTheMainWindow) {
    // 7 × 6 / 4 = 10.5, 39 × 13 / 8 = 63.375, 407 × 6 / 4 = 610.5, 149 × 13 / 8 = 242.125
    EXPECT_EQ(toPixels(DluRect{7, 39, 407, 149}, BaseUnits{6, 13}), (PixelRect{11, 63, 611, 242}));
}

TEST(ToPixels, WholeMultiplesAreExact) {
    EXPECT_EQ(toPixels(DluRect{4, 8, 400, 80}, BaseUnits{6, 13}), (PixelRect{6, 13, 600, 130}));
}

TEST(ToPixels, RoundsToTheNearestHalvesAwayFromZero) {
    // 1 × 6 / 4 = 1.5, 3 × 13 / 8 = 4.875, 1 × 7 / 4 = 1.75, 1 × 13 / 8 = 1.625
    EXPECT_EQ(toPixels(DluRect{1, 3, 1, 1}, BaseUnits{6, 13}), (PixelRect{2, 5, 2, 2}));
    EXPECT_EQ(toPixels(DluRect{1, 4, 1, 5}, BaseUnits{5, 13}), (PixelRect{1, 7, 1, 8}));
    // 2 × 5 / 4 = 2.5, 4 × 13 / 8 = 6.5, 5 × 13 / 8 = 8.125
    EXPECT_EQ(toPixels(DluRect{2, 4, 3, 5}, BaseUnits{5, 13}), (PixelRect{3, 7, 4, 8}));
    EXPECT_EQ(toPixels(DluRect{-2, -4, -1, -3}, BaseUnits{5, 13}), (PixelRect{-3, -7, -1, -5}));
}

TEST(ToPixels, LargeValuesDoNotOverflow) {
    EXPECT_EQ(toPixels(DluRect{1 << 28, 0, 0, 0}, BaseUnits{16, 8}).x, 1 << 30);
}

} // namespace
} // namespace tarvex::res
