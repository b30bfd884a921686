#include "gui/main_window/window_tray.h"

#include "res/menus.h"
#include "shell/brand_texts.h"

#include <QWidget>

namespace tarvex::app {

WindowTray::WindowTray(QWidget& window, std::unique_ptr<shell::SystemTray> tray,
                       const std::function<void(int)>& onCommand)
    : m_window(window), m_tray(std::move(tray)) {
    m_tray->setCommandTarget(onCommand);
    m_installed = m_tray->Install(shell::ProductName(), res::kTrayMenu);
    if (m_installed) {
        (void)m_tray->SetDefaultItem(0, true);
        (void)m_tray->Withdraw();
    }
}

void WindowTray::sendAway() {
    if (!m_installed || !m_tray->visibleWhenPutBack()) {
        // No icon to come back by (none at the start, or the notification area has gone since):
        // the window goes to the taskbar instead of away.
        m_window.showMinimized();
        return;
    }
    (void)m_tray->PutBack();
    m_window.hide();
}

void WindowTray::bringBack() {
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
    (void)m_tray->Withdraw();
}

} // namespace tarvex::app
