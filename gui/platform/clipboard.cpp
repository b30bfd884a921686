#include "gui/platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace tarvex::ui {

bool CopyTextToClipboard(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(QString::fromStdString(text));
    return true;
}

} // namespace tarvex::ui
