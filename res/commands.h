#pragma once

namespace tarvex::res {

// Command identifiers shared by the windows, their buttons and menus.
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

} // namespace tarvex::res
