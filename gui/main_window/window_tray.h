#pragma once

#include "gui/platform/system_tray.h"

#include <functional>
#include <memory>

class QWidget;

namespace tarvex::app {

// The main window and its tray icon: the icon is shown while the window is away and withdrawn
// while it is shown; its menu's commands go to the window.
class WindowTray {
public:
    // Installs the icon, withdrawn. Without a notification area the window starts all the same,
    // and Tray minimises it instead.
    WindowTray(QWidget& window, std::unique_ptr<shell::SystemTray> tray,
               const std::function<void(int)>& onCommand);

    // Tray: the window away, the icon shown; minimised instead while no icon can be seen.
    void sendAway();
    // Restore: the window back in front, the icon withdrawn.
    void bringBack();
    [[nodiscard]] shell::SystemTray& icon() { return *m_tray; }

private:
    QWidget& m_window;
    std::unique_ptr<shell::SystemTray> m_tray;
    bool m_installed = false;
};

} // namespace tarvex::app
