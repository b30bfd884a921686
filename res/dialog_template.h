#pragma once

#include "res/dialog_units.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace tarvex::res {

// The kinds of control a dialog template holds.
enum class ControlKind {
    Static,
    Edit,
    ComboBox,
    PushButton,
    DefaultPushButton,
    AutoCheckBox,
    GroupBox,
    ListView,
    Trackbar,
    Icon, // a static that shows the icon named by its text ("128")
};

// Styles that change how a control looks or behaves; a template ORs them together.
enum ControlStyle : std::uint32_t {
    kStyleNone = 0,
    kStyleSunken = 1U << 0,          // a sunken frame
    kStyleNoWrap = 1U << 1,          // one line, cut at the right edge
    kStyleRightAligned = 1U << 2,    // text on the right
    kStyleCentered = 1U << 3,        // text centred
    kStylePassword = 1U << 4,        // the text shown masked
    kStyleAutoHScroll = 1U << 5,     // the text scrolls sideways while typed
    kStyleVScroll = 1U << 6,         // a vertical scroll bar
    kStyleSingleSelection = 1U << 7, // a list where one row at a time is selected
    kStyleNumber = 1U << 8,          // an edit that takes digits only
    kStyleVCentered = 1U << 9,       // text centred from top to bottom
    kStyleAutoTicks = 1U << 10,      // a slider with a tick at every value
};

// No identifier: a label or a frame nobody addresses.
inline constexpr int kNoId = -1;

struct DialogControl {
    int id = kNoId;
    ControlKind kind = ControlKind::Static;
    std::string_view text;
    std::uint32_t style = kStyleNone;
    DluRect rect;
};

struct DialogTemplate {
    int id = 0;
    std::string_view title;
    int width = 0; // dialog units
    int height = 0;
    std::string_view fontFace;
    int fontPoints = 8;
    bool minimizeBox = false;
    std::span<const DialogControl> controls;
};

// The main window (102), Options (146), the cache browser (148) and About (280).
[[nodiscard]] const DialogTemplate& mainDialogTemplate();
[[nodiscard]] const DialogTemplate& optionsDialogTemplate();
[[nodiscard]] const DialogTemplate& cacheDialogTemplate();
[[nodiscard]] const DialogTemplate& aboutDialogTemplate();

} // namespace tarvex::res
