#include "ui/dialog_fit.h"

namespace tarvex::ui {

int fittingPointSize(int width, int height, int templatePoints, PixelSize available,
                     const BaseUnitsAt& unitsAt) {
    int points = templatePoints;
    while (points > kSmallestDialogPoints) {
        const res::PixelRect size = res::toPixels({0, 0, width, height}, unitsAt(points));
        if (size.width <= available.width && size.height <= available.height) {
            break;
        }
        --points;
    }
    return points;
}

} // namespace tarvex::ui
