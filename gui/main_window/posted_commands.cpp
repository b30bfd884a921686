#include "gui/main_window/posted_commands.h"

#include <QCoreApplication>

namespace tarvex::app {

void PostedCommands::post(int command) {
    const std::lock_guard lock{m_lock};
    if (m_target != nullptr) {
        QCoreApplication::postEvent(m_target, new CommandEvent(command));
    }
}

void PostedCommands::detach() {
    const std::lock_guard lock{m_lock};
    m_target = nullptr;
}

} // namespace tarvex::app
