#pragma once

namespace tarvex::res {

// Command and control identifiers of the windows: their templates, buttons and menus use these.
inline constexpr int kCmdOk = 1;     // "Close"
inline constexpr int kCmdCancel = 2; // Escape
inline constexpr int kCmdReset = 3;
inline constexpr int kCmdBrowse = 131;
inline constexpr int kCmdFullTable = 134;
inline constexpr int kCmdRestore = 135;
inline constexpr int kCmdExit = 136;
inline constexpr int kCmdSelectedRows = 137;
inline constexpr int kCmdAllUrls = 138;
inline constexpr int kCmdSelectedUrls = 139;
inline constexpr int kCmdTray = 142;
inline constexpr int kCmdOptions = 145;
inline constexpr int kCmdSearchCompleted = 147;
inline constexpr int kCmdWordSelected = 149;
inline constexpr int kCmdSearch = 1000;
inline constexpr int kCmdSearchInBrowser = 1008;
inline constexpr int kCmdMoreTools = 1012;
inline constexpr int kCmdCache = 1015;
inline constexpr int kCmdAbout = 1021;
inline constexpr int kCmdHelp = 1022;
inline constexpr int kCmdSpreadSheet = 1029;
// The system menu's About entry.
inline constexpr int kSysCmdAbout = 16;

// Controls of the main window that are not commands.
inline constexpr int kIdQueryWord = 1002;
inline constexpr int kIdLicenceKey = 1003;
inline constexpr int kIdResultList = 1004;
inline constexpr int kIdResultCount = 1005;
inline constexpr int kIdSearchCount = 1006;
inline constexpr int kIdStatus = 1007;
inline constexpr int kIdSearchedAt = 1014;
inline constexpr int kIdLinkLabel = 1023;

// Controls of the Options dialog.
inline constexpr int kIdMinimizeBox = 1009;
inline constexpr int kIdRunAtStartupBox = 1010;
inline constexpr int kIdCacheLifeEdit = 1013;
inline constexpr int kIdResultSizeSlider = 1025;
inline constexpr int kIdFilterBox = 1026;
inline constexpr int kIdSafeSearchBox = 1027;
inline constexpr int kIdWipeWordsButton = 1028;

// Controls of the cache browser.
inline constexpr int kIdCacheTime = 1014;
inline constexpr int kIdCacheWordList = 1016;
inline constexpr int kIdCacheResultList = 1018;
inline constexpr int kIdDeleteSelected = 1019;
inline constexpr int kIdWipeCache = 1021;

} // namespace tarvex::res
