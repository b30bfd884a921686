#include "res/dialog_units.h"

#include <cstdint>

namespace tarvex::res {
namespace {

constexpr int kAlphabetLetters = 52;
constexpr int kHorizontalUnitsPerBase = 4;
constexpr int kVerticalUnitsPerBase = 8;

// value × multiplier / divisor rounded to the nearest, halves away from zero (divisor > 0).
int scaleRounded(int value, int multiplier, int divisor) {
    const std::int64_t product = static_cast<std::int64_t>(value) * multiplier;
    const std::int64_t half = divisor / 2;
    const std::int64_t rounded =
        product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
    return static_cast<int>(rounded);
}

} // namespace

BaseUnits baseUnitsFromFont(int alphabetWidth, int fontHeight) {
    return BaseUnits{(alphabetWidth + kAlphabetLetters / 2) / kAlphabetLetters, fontHeight};
}

PixelRect toPixels(const DluRect& rect, const BaseUnits& base) {
    return PixelRect{scaleRounded(rect.x, base.x, kHorizontalUnitsPerBase),
                     scaleRounded(rect.y, base.y, kVerticalUnitsPerBase),
                     scaleRounded(rect.width, base.x, kHorizontalUnitsPerBase),
                     scaleRounded(rect.height, base.y, kVerticalUnitsPerBase)};
}

} // namespace tarvex::res
