#pragma once

#include "ui/message_boxes.h"
#include "ui/url_opener.h"

#include <QColor>
#include <QLabel>

#include <string>

namespace tarvex::ui {

// A static text that behaves like a web link: link colours, underlined, a hand cursor, the
// address as tool tip, the hover colour under the pointer; a click opens the address and a
// failure beeps and says why. It takes the focus by tab and click, shows it with a focus
// rectangle and opens on Enter, Return or Space; screen readers see a link with a press action.
// The link colours are made lighter (or darker) where the window's background would leave them
// below WCAG's 4.5:1 contrast.
class CLinkLabel : public QLabel {
public:
    CLinkLabel(UrlOpener& opener, MessageBoxes& messages, QWidget* parent = nullptr);

    // Set-up once the label stands in its dialog with its text and font.
    void attach();
    void SetUrl(const std::string& address);
    [[nodiscard]] const std::string& url() const { return m_url; }
    void OpenLink();
    void ShowOpenError(int code);
    void FitToText();
    // The colour the text is drawn in now: the hover colour, or the link or visited colour made
    // readable on the background.
    [[nodiscard]] QColor currentColor() const;

    // The link colours wanted; on a light background they are drawn as they are.
    QColor linkColor{0, 0, 238};
    QColor visitedColor{85, 26, 139};
    QColor hoverColor;
    bool isHovering = false;
    bool isVisited = false;
    bool underlineLink = true;
    bool fitToText = true;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyColor();

    UrlOpener& m_opener;
    MessageBoxes& m_messages;
    std::string m_url;
    bool m_attached = false;
};

} // namespace tarvex::ui
