#include "gui/widgets/accessible_events.h"

#include <QAccessible>

namespace tarvex::ui {
namespace {

AccessibleEventWatcher& watcher() {
    static AccessibleEventWatcher current;
    return current;
}

} // namespace

void sendAccessibleEvent(QAccessibleEvent& event) {
    if (const AccessibleEventWatcher& watching = watcher(); watching) {
        watching(event);
    }
    QAccessible::updateAccessibility(&event);
}

void watchAccessibleEvents(AccessibleEventWatcher watcher) {
    ui::watcher() = std::move(watcher);
}

} // namespace tarvex::ui
