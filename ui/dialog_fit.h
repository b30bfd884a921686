#pragma once

#include "res/dialog_units.h"

#include <functional>

namespace tarvex::ui {

// The smallest dialog font a dialog is shrunk to; below it text stops being readable.
inline constexpr int kSmallestDialogPoints = 5;

// A size in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
};

// The base units the dialog font has at a point size.
using BaseUnitsAt = std::function<res::BaseUnits(int points)>;

// The point size a dialog of `width` × `height` dialog units is built at so that it fits in
// `available` pixels: `templatePoints` when it fits at that size, else the largest smaller whole
// size down to kSmallestDialogPoints at which it fits, else kSmallestDialogPoints. A template
// asking for kSmallestDialogPoints or less keeps its size.
[[nodiscard]] int fittingPointSize(int width, int height, int templatePoints, PixelSize available,
                                   const BaseUnitsAt& unitsAt);

} // namespace tarvex::ui
