#include "ui/color_contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tarvex::ui {
namespace {

constexpr std::uint8_t kChannelMax = 255;
// How finely a colour is mixed toward white or black: 1/64 of the way per step.
constexpr int kMixSteps = 64;

// WCAG 2: sRGB to linear light. (WCAG writes the knee as 0.03928, sRGB as 0.04045; no 8-bit
// value lies between them.)
double linearChannel(std::uint8_t channel) {
    const double value = channel / static_cast<double>(kChannelMax);
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

// `from` moved step / kMixSteps of the way to `toward`, rounded to the nearest.
std::uint8_t mixChannel(std::uint8_t from, int toward, int step) {
    const int distance = (toward - from) * step;
    const int moved = distance >= 0 ? (distance + kMixSteps / 2) / kMixSteps
                                    : -((-distance + kMixSteps / 2) / kMixSteps);
    return static_cast<std::uint8_t>(from + moved);
}

} // namespace

double relativeLuminance(Rgb colour) {
    return 0.2126 * linearChannel(colour.red) + 0.7152 * linearChannel(colour.green) +
           0.0722 * linearChannel(colour.blue);
}

double contrastRatio(Rgb first, Rgb second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

Rgb readableTextColor(Rgb wanted, Rgb background) {
    const Rgb white{kChannelMax, kChannelMax, kChannelMax};
    const Rgb black{};
    // Lighter text on a background that white stands out from more than black does.
    const int toward =
        contrastRatio(white, background) >= contrastRatio(black, background) ? kChannelMax : 0;
    for (int step = 0; step <= kMixSteps; ++step) {
        const Rgb mixed{mixChannel(wanted.red, toward, step),
                        mixChannel(wanted.green, toward, step),
                        mixChannel(wanted.blue, toward, step)};
        if (contrastRatio(mixed, background) >= kReadableContrast) {
            return mixed;
        }
    }
    // Not reached: the last step is white or black itself.
    return toward == kChannelMax ? white : black;
}

} // namespace tarvex::ui
