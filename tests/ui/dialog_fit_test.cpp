// The dialog font shrunk until a template fits the screen's available area.
#include "ui/dialog_fit.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvex::ui {
namespace {

// Base units growing with the point size: x = points, y = 2 × points. A 400 × 200 template is
// then 100 × points by 50 × points pixels (800 × 400 at 8 points).
res::BaseUnits unitsAt(int points) {
    return res::BaseUnits{points, 2 * points};
}

int fit(PixelSize available, int templatePoints = 8) {
    return fittingPointSize(400, 200, templatePoints, available, unitsAt);
}

TEST(FittingPointSize, ATemplateThatFitsKeepsItsSize) {
    EXPECT_EQ(fit({1920, 1080}), 8);
    EXPECT_EQ(fit({800, 400}), 8) << "exactly the available area";
    EXPECT_EQ(fit({800, 400}, 12), 8);
}

TEST(FittingPointSize, ShrinksUntilBothSidesFit) {
    EXPECT_EQ(fit({799, 400}), 7);
    EXPECT_EQ(fit({640, 512}), 6) << "a 1280 × 1024 screen at scale 2";
    EXPECT_EQ(fit({2000, 349}), 6) << "the height decides";
}

TEST(FittingPointSize, StopsAtTheSmallestSize) {
    EXPECT_EQ(fit({100, 100}), kSmallestDialogPoints);
    EXPECT_EQ(fit({0, 0}), kSmallestDialogPoints);
    EXPECT_EQ(fit({-1, -2147483647}), kSmallestDialogPoints);
    EXPECT_EQ(fit({100, 100}, 4), 4) << "a template below the smallest size is left alone";
}

TEST(FittingPointSize, AsksForEachSizeOnceFromTheTemplatesDown) {
    std::vector<int> asked;
    const int points = fittingPointSize(400, 200, 9, {600, 600}, [&asked](int size) {
        asked.push_back(size);
        return unitsAt(size);
    });
    EXPECT_EQ(points, 6);
    EXPECT_EQ(asked, (std::vector<int>{9, 8, 7, 6}));
}

} // namespace
} // namespace tarvex::ui
