#include "gui/widgets/link_label.h"

#include <QMouseEvent>

namespace tarvex::ui {

CLinkLabel::CLinkLabel(UrlOpener& opener, MessageBoxes& messages, QWidget* parent)
    : QLabel(parent), m_opener(opener), m_messages(messages) {
    hoverColor = palette().color(QPalette::Active, QPalette::Highlight);
    setTextFormat(Qt::PlainText);
}

void CLinkLabel::attach() {
    m_attached = true;
    if (m_url.empty()) {
        m_url = text().toStdString();
    }
    if (text().isEmpty()) {
        setText(QString::fromStdString(m_url));
    }
    QFont linkFont = font();
    linkFont.setUnderline(underlineLink);
    setFont(linkFont);
    FitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(QString::fromStdString(m_url));
    applyColor();
}

void CLinkLabel::SetUrl(const std::string& address) {
    m_url = address;
    if (m_attached) {
        FitToText();
        setToolTip(QString::fromStdString(m_url));
    }
}

void CLinkLabel::FitToText() {
    if (!m_attached || !fitToText) {
        return;
    }
    const QFontMetrics metrics{font()};
    const int width = metrics.horizontalAdvance(text());
    const int height = metrics.height();
    QRect place = geometry();
    if ((alignment() & Qt::AlignVCenter) != 0) {
        place.adjust(0, (place.height() - height) / 2, 0, 0);
    }
    place.setHeight(height);
    if ((alignment() & Qt::AlignHCenter) != 0) {
        place.adjust((place.width() - width) / 2, 0, 0, 0);
        place.setWidth(width);
    } else if ((alignment() & Qt::AlignRight) != 0) {
        place.setLeft(place.right() + 1 - width);
    } else {
        place.setWidth(width);
    }
    setGeometry(place);
}

QColor CLinkLabel::currentColor() const {
    if (isHovering) {
        return hoverColor;
    }
    return isVisited ? visitedColor : linkColor;
}

void CLinkLabel::applyColor() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, currentColor());
    setPalette(colours);
    update();
}

void CLinkLabel::OpenLink() {
    const int result = m_opener.OpenUrl(m_url, kShowNormal);
    isVisited = result > 32;
    if (isVisited) {
        applyColor();
        return;
    }
    m_messages.beep();
    ShowOpenError(result);
}

void CLinkLabel::ShowOpenError(int code) {
    m_messages.show(openErrorMessage(code), MessageIcon::Exclamation);
}

void CLinkLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    isHovering = true;
    applyColor();
}

void CLinkLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    isHovering = false;
    applyColor();
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OpenLink();
    }
}

} // namespace tarvex::ui
