#pragma once

namespace tarvex::res {

// A rectangle in dialog units, as templates give it.
struct DluRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const DluRect&, const DluRect&) = default;
};

// A rectangle in pixels.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The dialog font's base units: x from the average width of "A-Z a-z", y its height.
struct BaseUnits {
    int x = 0;
    int y = 0;
};

// Base units from the width of the 52 letters "A".."Z", "a".."z" in the dialog font and the
// font's height: x = width / 52 rounded to the nearest (halves up), y = height.
[[nodiscard]] BaseUnits baseUnitsFromFont(int alphabetWidth, int fontHeight);

// Dialog units to pixels as the dialog manager maps them: x × base-x / 4, y × base-y / 8, each
// rounded to the nearest (halves away from zero).
[[nodiscard]] PixelRect toPixels(const DluRect& rect, const BaseUnits& base);

} // namespace tarvex::res
