#pragma once

#include "cache/ole_date.h"
#include "support/cache_fakes.h"
#include "ui/message_boxes.h"
#include "ui/url_opener.h"

#include <QAccessible>
#include <QApplication>
#include <QWidget>

#include <string>
#include <vector>

namespace tarvex::test {

// Addresses the window asked to open; every open succeeds unless told otherwise.
class RecordingOpener final : public ui::UrlOpener {
public:
    int OpenUrl(const std::string& url, int /*showCommand*/) override {
        opened.push_back(url);
        return result;
    }
    std::vector<std::string> opened;
    int result = ui::kOpenSucceeded;
};

// Message boxes answered at once, their texts kept.
class RecordingMessages final : public ui::MessageBoxes {
public:
    void show(const std::string& text, ui::MessageIcon icon) override {
        texts.push_back(text);
        icons.push_back(icon);
    }
    ui::Answer ask(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    void beep() override { ++beeps; }
    std::vector<std::string> questions;
    ui::Answer answer = ui::Answer::Yes;
    std::vector<std::string> texts;
    std::vector<ui::MessageIcon> icons;
    int beeps = 0;
};

// The name a screen reader hears for a widget. (An editable combo box is named by its text on
// Linux, with its label as relation; its name property holds the label's caption.)
inline QString accessibleName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString{};
}

// Toggles a check box as a screen reader or voice control does: its accessible Toggle action,
// which emits toggled but not clicked.
inline void toggleAccessibly(QWidget& box) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&box);
    if (accessible != nullptr && accessible->actionInterface() != nullptr) {
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    }
}

// The one widget below `root` that screen readers know by `name`; fails the test when there is
// not exactly one.
template <typename Widget>
Widget* byName(QWidget& root, const QString& name) {
    Widget* found = nullptr;
    int count = 0;
    for (Widget* widget : root.findChildren<Widget*>()) {
        if (accessibleName(widget) == name || widget->accessibleName() == name) {
            found = widget;
            ++count;
        }
    }
    return count == 1 ? found : nullptr;
}

} // namespace tarvex::test
