#include "res/dialog_template.h"

#include "res/commands.h"

#include <array>

namespace tarvex::res {
namespace {

using enum ControlKind;

// The main window, in template order; positions in dialog units.
constexpr std::array kMainControls{
    DialogControl{kNoId, Static, "Query Word", kStyleNone, {164, 8, 60, 9}},
    DialogControl{
        kIdQueryWord, ComboBox, "", kStyleAutoHScroll | kStyleVScroll, {164, 20, 123, 147}},
    DialogControl{kCmdSearch, DefaultPushButton, "&Search", kStyleNone, {292, 20, 40, 13}},
    DialogControl{
        kCmdSearchInBrowser, PushButton, "Search in Browser", kStyleNone, {336, 20, 77, 13}},
    DialogControl{kCmdHelp, PushButton, "Help?", kStyleNone, {292, 4, 40, 13}},
    DialogControl{kIdResultList, ListView, "", kStyleNone, {7, 39, 407, 149}},
    DialogControl{kNoId, GroupBox, "Statistics", kStyleNone, {7, 192, 272, 58}},
    DialogControl{kNoId, Static, "Result #", kStyleNone, {15, 205, 44, 8}},
    DialogControl{kIdResultCount, Static, "*", kStyleSunken | kStyleNoWrap, {15, 218, 60, 11}},
    DialogControl{kNoId, Static, "Search #", kStyleRightAligned, {83, 204, 41, 8}},
    DialogControl{kIdSearchCount, Static, "*", kStyleSunken | kStyleNoWrap, {83, 218, 41, 11}},
    DialogControl{kCmdReset, PushButton, "Reset", kStyleNone, {131, 216, 36, 13}},
    DialogControl{kNoId, Static, "Searched at", kStyleNone, {177, 205, 57, 8}},
    DialogControl{kIdSearchedAt, Static, "*", kStyleNone, {177, 218, 91, 11}},
    DialogControl{kNoId, GroupBox, "Controls", kStyleNone, {293, 192, 121, 58}},
    DialogControl{kCmdAbout, PushButton, "About...", kStyleNone, {297, 201, 54, 13}},
    DialogControl{kCmdCache, PushButton, "Cache...", kStyleNone, {356, 201, 54, 13}},
    DialogControl{kCmdMoreTools, PushButton, "More Tools...", kStyleNone, {297, 217, 113, 13}},
    DialogControl{kCmdOptions, PushButton, "&Options...", kStyleNone, {297, 233, 43, 13}},
    DialogControl{kCmdTray, PushButton, "&Tray", kStyleNone, {342, 233, 30, 13}},
    DialogControl{kCmdOk, PushButton, "Close", kStyleNone, {374, 233, 36, 13}},
    DialogControl{kIdStatus, Static, "Static", kStyleSunken, {15, 235, 254, 9}},
    DialogControl{kNoId, Static, "License Key", kStyleNone, {7, 8, 41, 8}},
    DialogControl{kIdLicenceKey, Edit, "", kStyleAutoHScroll | kStylePassword, {7, 20, 151, 13}},
    DialogControl{kIdLinkLabel, Static, "[obtained from Google]", kStyleNone, {50, 8, 98, 8}},
    DialogControl{kCmdSpreadSheet, AutoCheckBox, "Spread Sheet Mode", kStyleNone, {336, 6, 82, 9}},
};

constexpr DialogTemplate kMainDialog{
    102, "Tarvex", 421, 255, "MS Shell Dlg", 8, true, kMainControls,
};

// Options: the controls that act at once on the left, the cache life and the wipe button on the
// right, the result size below.
constexpr std::array kOptionsControls{
    DialogControl{
        kIdMinimizeBox, AutoCheckBox, "Minimize to tray at startup", kStyleNone, {15, 15, 133, 11}},
    DialogControl{
        kIdRunAtStartupBox, AutoCheckBox, "Run on Windows startup", kStyleNone, {15, 29, 133, 10}},
    DialogControl{
        kIdFilterBox, AutoCheckBox, "Filter Similar Results", kStyleNone, {15, 44, 133, 9}},
    DialogControl{kIdSafeSearchBox,
                  AutoCheckBox,
                  "&Safe Search (remove adult results)",
                  kStyleNone,
                  {15, 58, 133, 9}},
    DialogControl{kNoId, GroupBox, "", kStyleNone, {7, 7, 150, 68}},
    DialogControl{kNoId, Static, "Local Cache Life", kStyleNone, {168, 24, 59, 11}},
    DialogControl{kIdCacheLifeEdit, Edit, "", kStyleAutoHScroll, {233, 22, 31, 12}},
    DialogControl{kNoId, Static, "hours", kStyleNone, {274, 24, 24, 8}},
    DialogControl{kIdWipeWordsButton,
                  PushButton,
                  "Wipe the drop down word list",
                  kStyleNone,
                  {174, 51, 118, 15}},
    DialogControl{kNoId, GroupBox, "", kStyleNone, {163, 7, 143, 68}},
    DialogControl{kNoId, GroupBox, "Result Size", kStyleNone, {9, 79, 297, 53}},
    DialogControl{kIdResultSizeSlider, Trackbar, "", kStyleAutoTicks, {19, 92, 100, 20}},
    DialogControl{kNoId, Static, "10", kStyleNone, {24, 115, 14, 8}},
    DialogControl{kNoId, Static, "20", kStyleNone, {65, 115, 14, 8}},
    DialogControl{kNoId, Static, "30", kStyleNone, {105, 115, 14, 8}},
    DialogControl{kNoId,
                  Static,
                  "Google API permits only 10 results per search, so if you configure more than "
                  "10 results, multiple searches will be performed for a single query.",
                  kStyleNone,
                  {135, 91, 164, 34}},
    DialogControl{kCmdOk, DefaultPushButton, "OK", kStyleNone, {256, 139, 50, 14}},
};

// The cache browser: the words on the left third, their results on the right, the time and the
// buttons along the bottom.
constexpr std::array kCacheControls{
    DialogControl{kNoId, Static, "Words in Cache", kStyleNone, {7, 7, 135, 9}},
    DialogControl{kIdCacheWordList, ListView, "", kStyleNone, {7, 18, 135, 206}},
    DialogControl{kNoId, Static, "Search Results", kStyleNone, {149, 7, 265, 9}},
    DialogControl{kIdCacheResultList, ListView, "", kStyleSingleSelection, {149, 18, 265, 206}},
    DialogControl{kNoId, Static, "Searched at", kStyleNone, {7, 236, 45, 8}},
    DialogControl{kIdCacheTime, Static, "", kStyleSunken | kStyleNoWrap, {55, 234, 130, 12}},
    DialogControl{
        kIdDeleteSelected, PushButton, "Delete &Selected", kStyleNone, {196, 233, 70, 14}},
    DialogControl{kIdWipeCache, PushButton, "Wipe &Cache", kStyleNone, {270, 233, 70, 14}},
    DialogControl{kCmdCancel, PushButton, "Close", kStyleNone, {344, 233, 70, 14}},
};

// About: placeholders in angle brackets are replaced when the box opens.
constexpr std::array kAboutControls{
    DialogControl{kNoId, Icon, "128", kStyleNone, {17, 15, 20, 20}},
    DialogControl{kNoId, Static, "<Product Name>", kStyleVCentered, {49, 13, 187, 12}},
    DialogControl{kNoId, Static, "<Copyright>", kStyleNone, {49, 32, 187, 18}},
    DialogControl{kNoId, GroupBox, "", kStyleNone, {9, 5, 233, 51}},
    DialogControl{kNoId, Static, "Brought to you by", kStyleNone, {49, 70, 187, 9}},
    DialogControl{kNoId, Static, "<Co-brand Name>", kStyleNone, {49, 83, 187, 10}},
    DialogControl{kNoId, GroupBox, "", kStyleNone, {9, 60, 233, 39}},
    DialogControl{kNoId, Static, "<Version Date>", kStyleNone, {9, 171, 76, 8}},
    DialogControl{kCmdOk, DefaultPushButton, "OK", kStyleNone, {181, 166, 61, 18}},
};

constexpr DialogTemplate kOptionsDialog{
    146, "Options", 313, 159, "MS Shell Dlg", 8, false, kOptionsControls,
};
constexpr DialogTemplate kCacheDialog{
    148, "Cache Browser", 421, 255, "MS Shell Dlg", 8, false, kCacheControls,
};
constexpr DialogTemplate kAboutDialog{
    280, "About", 251, 190, "MS Sans Serif", 8, false, kAboutControls,
};

} // namespace

const DialogTemplate& mainDialogTemplate() {
    return kMainDialog;
}

const DialogTemplate& optionsDialogTemplate() {
    return kOptionsDialog;
}

const DialogTemplate& cacheDialogTemplate() {
    return kCacheDialog;
}

const DialogTemplate& aboutDialogTemplate() {
    return kAboutDialog;
}

} // namespace tarvex::res
