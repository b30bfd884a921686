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
    void show(const std::string& text, MessageIcon icon) override;
    [[nodiscard]] Answer ask(const std::string& text) override;
    void beep() override;

private:
    QWidget* m_parent;
};

} // namespace tarvex::ui
