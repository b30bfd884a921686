#pragma once

#include <functional>

class QCheckBox;
class QObject;

namespace tarvex::ui {

// Runs `command` whenever the user toggles `box`: a click, Space, or an assistive technology's
// Toggle action (which emits toggled but not clicked). The program sets the box through
// setCheckedQuietly, which runs no command.
void onUserToggle(QCheckBox& box, QObject& context, std::function<void()> command);

// Sets the box's state without running its command.
void setCheckedQuietly(QCheckBox& box, bool checked);

} // namespace tarvex::ui
