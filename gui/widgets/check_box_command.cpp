#include "gui/widgets/check_box_command.h"

#include <QCheckBox>
#include <QSignalBlocker>

namespace tarvex::ui {

void onUserToggle(QCheckBox& box, QObject& context, std::function<void()> command) {
    QObject::connect(&box, &QCheckBox::toggled, &context,
                     [command = std::move(command)](bool /*checked*/) { command(); });
}

void setCheckedQuietly(QCheckBox& box, bool checked) {
    const QSignalBlocker quiet{box};
    box.setChecked(checked);
}

} // namespace tarvex::ui
