#include "gui/widgets/status_text.h"

#include "gui/widgets/accessible_events.h"

#include <QAccessible>
#include <QLabel>

namespace tarvex::ui {

void showStatusText(QLabel& label, const QString& text) {
    if (label.text() == text && label.accessibleName() == text) {
        return;
    }
    label.setText(text);
    label.setAccessibleName(text);
    QAccessibleEvent nameChange{&label, QAccessible::NameChanged};
    sendAccessibleEvent(nameChange);
    if (!text.isEmpty()) {
        QAccessibleEvent alert{&label, QAccessible::Alert};
        sendAccessibleEvent(alert);
    }
}

} // namespace tarvex::ui
