#pragma once

#include <span>
#include <string_view>

namespace tarvex::res {

// One entry of a menu: a command, a submenu when `items` is not empty, or a separator when it
// has neither command nor text.
struct MenuItem {
    int command = 0;
    std::string_view text;
    std::span<const MenuItem> items;
};

// A menu resource: its items are the popups; owners show the first.
struct MenuResource {
    int id = 0;
    std::span<const MenuItem> items;
};

// Menu 129: the main window's result list.
inline constexpr int kResultListMenu = 129;
// Menu 140: the tray icon's.
inline constexpr int kTrayMenu = 140;
// Menu 141: the cache browser's result list.
inline constexpr int kCacheResultMenu = 141;

// A menu by its number; null for an unknown one.
[[nodiscard]] const MenuResource* findMenu(int id);

} // namespace tarvex::res
