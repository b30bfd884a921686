// Which caption names an edit, combo box or slider of a template: its own label, or its group.
#include "ui/control_names.h"

#include <gtest/gtest.h>

#include <array>

namespace tarvex::ui {
namespace {

using enum res::ControlKind;
using res::DialogControl;
using res::kNoId;

TEST(NamingControl, TheLabelRightBeforeNamesThatControlAlone) {
    // As the Options dialog has it: a unit label and a button between the edit and the slider.
    const std::array controls{
        DialogControl{kNoId, Static, "Cache Life", 0, {0, 0, 50, 10}},
        DialogControl{1, Edit, "", 0, {60, 0, 30, 10}},
        DialogControl{kNoId, Static, "hours", 0, {95, 0, 20, 10}},
        DialogControl{2, PushButton, "Wipe", 0, {0, 20, 50, 14}},
        DialogControl{3, Trackbar, "", 0, {0, 40, 100, 20}},
        DialogControl{kNoId, Static, "after", 0, {0, 70, 20, 10}},
        DialogControl{4, Static, "42", 0, {0, 80, 20, 10}},
        DialogControl{5, ComboBox, "", 0, {30, 80, 50, 10}},
    };
    EXPECT_EQ(namingControl(controls, 1), 0U);
    EXPECT_EQ(namingControl(controls, 3), std::nullopt) << "a button is not named by a label";
    EXPECT_EQ(namingControl(controls, 4), std::nullopt) << "\"hours\" belongs to nobody";
    EXPECT_EQ(namingControl(controls, 7), std::nullopt) << "a static with an id is no label";
    EXPECT_EQ(namingControl(controls, 8), std::nullopt) << "past the end";
}

TEST(NamingControl, WithoutALabelTheInnermostCaptionedGroupHoldingIt) {
    const std::array controls{
        DialogControl{kNoId, GroupBox, "Outer", 0, {0, 0, 200, 100}},
        DialogControl{kNoId, GroupBox, "", 0, {5, 5, 150, 80}},
        DialogControl{kNoId, GroupBox, "Size", 0, {10, 10, 120, 60}},
        DialogControl{3, Trackbar, "", 0, {20, 20, 100, 20}},
        DialogControl{4, Edit, "", 0, {130, 20, 40, 12}},
        DialogControl{5, Edit, "", 0, {190, 90, 40, 12}},
        // After the controls in template order still counts.
        DialogControl{kNoId, GroupBox, "Late", 0, {185, 85, 50, 20}},
    };
    EXPECT_EQ(namingControl(controls, 3), 2U);
    EXPECT_EQ(namingControl(controls, 4), 0U) << "only partly inside \"Size\"";
    EXPECT_EQ(namingControl(controls, 5), 6U);
}

} // namespace
} // namespace tarvex::ui
