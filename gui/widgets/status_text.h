#pragma once

class QLabel;
class QString;

namespace tarvex::ui {

// Shows a changing text in a static: the text is also its accessible name, and a change is
// announced to assistive technology (a name change, and an alert where the platform knows one),
// so a screen reader hears "Search in progress..." or "Error!" without moving the focus.
void showStatusText(QLabel& label, const QString& text);

} // namespace tarvex::ui
