#pragma once

#include <functional>

class QAccessibleEvent;

namespace tarvex::ui {

// Sends an event to assistive technology: to the desktop's accessibility bridge while one is
// active, and to the watcher, when one is set. Qt drops every event while no bridge is active
// (always so on the offscreen platform), so a watcher is how a test sees what would be announced.
void sendAccessibleEvent(QAccessibleEvent& event);

using AccessibleEventWatcher = std::function<void(const QAccessibleEvent& event)>;
// Sets the one watcher (an empty function removes it). Called from the GUI thread only.
void watchAccessibleEvents(AccessibleEventWatcher watcher);

} // namespace tarvex::ui
