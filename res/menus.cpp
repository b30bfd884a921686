#include "res/menus.h"

#include <array>

namespace tarvex::res {
namespace {

constexpr std::array kCopyItems{
    MenuItem{134, "Full Table", {}},
    MenuItem{137, "Selected Rows", {}},
    MenuItem{138, "All URLs", {}},
    MenuItem{139, "Selected URLs", {}},
};

constexpr std::array kOtherItems{
    MenuItem{142, "Minimize To Tray", {}},
    MenuItem{149, "Word Selected", {}},
};

constexpr std::array kResultListItems{
    MenuItem{131, "Browse", {}},
    MenuItem{0, "Copy", kCopyItems},
    MenuItem{0, "OTHER", kOtherItems},
};

constexpr std::array kCacheResultItems{
    MenuItem{131, "Browse", {}},
    MenuItem{0, "Copy", kCopyItems},
};

constexpr std::array kTrayItems{
    MenuItem{135, "Restore", {}}, MenuItem{0, "", {}},       MenuItem{145, "Options...", {}},
    MenuItem{0, "", {}},          MenuItem{136, "Exit", {}},
};

constexpr std::array kTrayPopup{MenuItem{0, "TRAY", kTrayItems}};
constexpr std::array kResultListPopup{MenuItem{0, "Results", kResultListItems}};
constexpr std::array kCacheResultPopup{MenuItem{0, "Results", kCacheResultItems}};

constexpr std::array kMenus{
    MenuResource{kResultListMenu, kResultListPopup},
    MenuResource{kTrayMenu, kTrayPopup},
    MenuResource{kCacheResultMenu, kCacheResultPopup},
};

} // namespace

const MenuResource* findMenu(int id) {
    for (const MenuResource& menu : kMenus) {
        if (menu.id == id) {
            return &menu;
        }
    }
    return nullptr;
}

} // namespace tarvex::res
