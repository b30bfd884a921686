#include "gui/platform/system_tray.h"

#include "res/menus.h"

#include <QAction>
#include <QIcon>
#include <QSystemTrayIcon>

namespace tarvex::shell {
namespace {

// How often the notification area's presence is looked at.
constexpr int kWatchMilliseconds = 250;

QIcon trayIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/tray_%1.png").arg(size), QSize{size, size});
    }
    return icon;
}

} // namespace

CSystemTray::CSystemTray() {
    m_watch.setInterval(kWatchMilliseconds);
    connect(&m_watch, &QTimer::timeout, this, [this] { watchNotificationArea(); });
}

CSystemTray::~CSystemTray() {
    (void)Uninstall();
}

bool CSystemTray::Install(const std::string& tip, int iconId) {
    m_enabled = false;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    const res::MenuResource* resource = res::findMenu(iconId);
    if (resource != nullptr && !resource->items.empty()) {
        for (const res::MenuItem& item : resource->items.front().items) {
            if (item.command == 0 && item.text.empty()) {
                m_menu.addSeparator();
                continue;
            }
            QAction* action = m_menu.addAction(
                QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size())));
            const int command = item.command;
            connect(action, &QAction::triggered, this, [this, command] {
                if (m_commands) {
                    m_commands(command);
                }
            });
        }
    }
    m_icon = std::make_unique<QSystemTrayIcon>(trayIcon());
    m_icon->setToolTip(QString::fromStdString(tip));
    m_icon->setContextMenu(&m_menu);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    onDoubleClick();
                }
            });
    m_icon->show();
    m_enabled = true;
    m_hidden = false;
    m_areaPresent = true;
    m_watch.start();
    return true;
}

bool CSystemTray::SetDefaultItem(int item, bool byPosition) {
    if (item == m_defaultItem && byPosition == m_defaultByPosition) {
        return true;
    }
    m_defaultItem = item;
    m_defaultByPosition = byPosition;
    // The default item is shown bold.
    const QList<QAction*> actions = m_menu.actions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        QFont font = actions[i]->font();
        font.setBold(i == item);
        actions[i]->setFont(font);
    }
    return item >= 0 && item < actions.size();
}

bool CSystemTray::Withdraw() {
    if (!m_enabled || m_hidden) {
        return false;
    }
    m_icon->hide();
    m_hidden = true;
    return true;
}

bool CSystemTray::PutBack() {
    if (!m_enabled || !m_hidden) {
        return false;
    }
    m_icon->show();
    m_hidden = false;
    return true;
}

bool CSystemTray::Uninstall() {
    if (!m_enabled) {
        return false;
    }
    m_watch.stop();
    m_icon->hide();
    m_icon.reset();
    m_enabled = false;
    return true;
}

bool CSystemTray::visibleWhenPutBack() const {
    return m_enabled && QSystemTrayIcon::isSystemTrayAvailable();
}

void CSystemTray::onDoubleClick() {
    const QList<QAction*> actions = m_menu.actions();
    if (m_defaultItem < 0 || m_defaultItem >= actions.size()) {
        return;
    }
    actions[m_defaultItem]->trigger();
}

void CSystemTray::watchNotificationArea() {
    const bool present = QSystemTrayIcon::isSystemTrayAvailable();
    if (present && !m_areaPresent && m_icon) {
        // A new notification area knows nothing of the icon: add it again, whether the window
        // had withdrawn it or not, as a restarted taskbar does.
        m_icon->hide();
        m_icon->show();
    }
    m_areaPresent = present;
}

} // namespace tarvex::shell
