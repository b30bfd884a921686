#include "dialog_template.h"

#include <array>

namespace tarvex::res {
namespace {

using enum ControlKind;

// The main window, in template order; positions in dialog units.
constexpr std::array kMainControls{
    DialogControl{kNoId, Static, "Query Word", kStyleNone, {164, 8, 60, 9}},
    DialogControl{1002, ComboBox, "", kStyleAutoHScroll | kStyleVScroll, {164, 20, 123, 147}},
    DialogControl{1000, DefaultPushButton, "&Search", kStyleNone, {292, 20, 40, 13}},
    DialogControl{1008, PushButton, "Search in Browser", kStyleNone, {336, 20, 77, 13}},
    DialogControl{1022, PushButton, "Help?", kStyleNone, {292, 4, 40, 13}},
    DialogControl{1004, ListView, "", kStyleNone, {7, 39, 407, 149}},
    DialogControl{kNoId, GroupBox, "Statistics", kStyleNone, {7, 192, 272, 58}},
    DialogControl{kNoId, Static, "Result #", kStyleNone, {15, 205, 44, 8}},
    DialogControl{1005, Static, "*", kStyleSunken | kStyleNoWrap, {15, 218, 60, 11}},
    DialogControl{kNoId, Static, "Search #", kStyleRightAligned, {83, 204, 41, 8}},
    DialogControl{1006, Static, "*", kStyleSunken | kStyleNoWrap, {83, 218, 41, 11}},
    DialogControl{3, PushButton, "Reset", kStyleNone, {131, 216, 36, 13}},
    DialogControl{kNoId, Static, "Searched at", kStyleNone, {177, 205, 57, 8}},
    DialogControl{1014, Static, "*", kStyleNone, {177, 218, 91, 11}},
    DialogControl{kNoId, GroupBox, "Controls", kStyleNone, {293, 192, 121, 58}},
    DialogControl{1021, PushButton, "About...", kStyleNone, {297, 201, 54, 13}},
    DialogControl{1015, PushButton, "Cache...", kStyleNone, {356, 201, 54, 13}},
    DialogControl{1012, PushButton, "More Tools...", kStyleNone, {297, 217, 113, 13}},
    DialogControl{145, PushButton, "&Options...", kStyleNone, {297, 233, 43, 13}},
    DialogControl{142, PushButton, "&Tray", kStyleNone, {342, 233, 30, 13}},
    DialogControl{1, PushButton, "Close", kStyleNone, {374, 233, 36, 13}},
    DialogControl{1007, Static, "Static", kStyleSunken, {15, 235, 254, 9}},
    DialogControl{kNoId, Static, "License Key", kStyleNone, {7, 8, 41, 8}},
    DialogControl{1003, Edit, "", kStyleAutoHScroll | kStylePassword, {7, 20, 151, 13}},
    DialogControl{1023, Static, "[obtained from Google]", kStyleNone, {50, 8, 98, 8}},
    DialogControl{1029, AutoCheckBox, "Spread Sheet Mode", kStyleNone, {336, 6, 82, 9}},
};

constexpr DialogTemplate kMainDialog{
    102, "Tarvex", 421, 255, "MS Shell Dlg", 8, true, kMainControls,
};

} // namespace

const DialogTemplate& mainDialogTemplate() {
    return kMainDialog;
}

const DialogTemplate* findDialogTemplate(int id) {
    return id == kMainDialog.id ? &kMainDialog : nullptr;
}

} // namespace tarvex::res
