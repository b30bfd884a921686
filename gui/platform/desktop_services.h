#pragma once

#include "ui/message_boxes.h"
#include "ui/url_opener.h"

class QWidget;

namespace tarvex::ui {

// Opens addresses in the user's default browser (xdg-open on Linux).
class DesktopUrlOpener final : public UrlOpener {
public:
    int OpenUrl(const std::string& url, int showCommand) override;
};

// Modal message boxes over `parent`, captioned with the application's title.
class DesktopMessageBoxes final : public MessageBoxes {
public:
    explicit DesktopMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    // After the system has asked the program to end no one is there to answer a box: texts go to
    // standard error, and questions are answered Cancel.
    void setUnattended() { m_unattended = true; }
    void show(const std::string& text, MessageIcon icon) override;
    [[nodiscard]] Answer ask(const std::string& text) override;
    void beep() override;

private:
    QWidget* m_parent;
    bool m_unattended = false;
};

} // namespace tarvex::ui
