#pragma once

// Rgb: the 8-bit sRGB colour the list's mark-up runs use too.
#include "ui/markup.h"

namespace tarvex::ui {

// WCAG 2 level AA: the least contrast of normal-sized text against its background.
inline constexpr double kReadableContrast = 4.5;

// WCAG 2 relative luminance: 0 for black, 1 for white.
[[nodiscard]] double relativeLuminance(Rgb colour);
// WCAG 2 contrast ratio, (lighter + 0.05) / (darker + 0.05): 1 to 21, the same either way round.
[[nodiscard]] double contrastRatio(Rgb first, Rgb second);
// `wanted` when it reaches kReadableContrast against `background`; otherwise `wanted` mixed in
// steps toward white on a dark background (toward black on a light one) until it does, which
// keeps its hue. The far end always does: white or black reach at least 4.58:1 on any colour.
[[nodiscard]] Rgb readableTextColor(Rgb wanted, Rgb background);

} // namespace tarvex::ui
