#pragma once

#include <QMenu>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class QSystemTrayIcon;

namespace tarvex::shell {

// The program's icon in the desktop's notification area, as the main window uses it: installed
// once, withdrawn while the window shows, put back while it hides.
class SystemTray {
public:
    // Where the icon's commands go: the main window's command routing.
    using CommandTarget = std::function<void(int command)>;

    virtual ~SystemTray() = default;
    // Adds the icon (menu and icon resource `iconId`'s, the tip given); false where the desktop
    // has no notification area, and every later call then does nothing.
    virtual bool Install(const std::string& tip, int iconId) = 0;
    virtual bool SetDefaultItem(int item, bool byPosition) = 0;
    virtual bool Withdraw() = 0;
    virtual bool PutBack() = 0;
    virtual bool Uninstall() = 0;
    virtual void setCommandTarget(CommandTarget target) = 0;
    // Whether the icon, once put back, is really seen: installed, and a notification area is
    // there now (it may have gone since the start).
    [[nodiscard]] virtual bool visibleWhenPutBack() const = 0;
};

// The tray icon on the desktop's status-icon service.
class CSystemTray final : public QObject, public SystemTray {
public:
    CSystemTray();
    ~CSystemTray() override;
    CSystemTray(const CSystemTray&) = delete;
    CSystemTray& operator=(const CSystemTray&) = delete;

    bool Install(const std::string& tip, int iconId) override;
    bool SetDefaultItem(int item, bool byPosition) override;
    bool Withdraw() override;
    bool PutBack() override;
    bool Uninstall() override;
    void setCommandTarget(CommandTarget target) override { m_commands = std::move(target); }
    [[nodiscard]] bool visibleWhenPutBack() const override;

    [[nodiscard]] bool enabled() const { return m_enabled; }
    [[nodiscard]] QMenu& menu() { return m_menu; }
    // The double click on the icon: the default item's command.
    void onDoubleClick();

private:
    // A notification area that comes back (the panel restarted) gets the icon again.
    void watchNotificationArea();

    std::unique_ptr<QSystemTrayIcon> m_icon;
    QMenu m_menu;
    QTimer m_watch;
    CommandTarget m_commands;
    bool m_enabled = false;
    bool m_hidden = false;
    bool m_areaPresent = false;
    int m_defaultItem = -1;
    bool m_defaultByPosition = true;
};

} // namespace tarvex::shell
