#include "gui/widgets/link_label.h"

#include "gui/widgets/link_label_accessible.h"
#include "ui/color_contrast.h"

#include <cstdint>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

namespace tarvex::ui {
namespace {

Rgb rgbOf(const QColor& colour) {
    // QColor's 8-bit channels are 0..255.
    return Rgb{static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
               static_cast<std::uint8_t>(colour.blue())};
}

QColor colourOf(Rgb rgb) {
    return QColor{rgb.red, rgb.green, rgb.blue};
}

} // namespace

CLinkLabel::CLinkLabel(UrlOpener& opener, MessageBoxes& messages, QWidget* parent)
    : QLabel(parent), m_opener(opener), m_messages(messages) {
    hoverColor = palette().color(QPalette::Active, QPalette::Highlight);
    setTextFormat(Qt::PlainText);
    setFocusPolicy(Qt::StrongFocus);
    installLinkLabelAccessibility();
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
    const QColor& wanted = isVisited ? visitedColor : linkColor;
    return colourOf(readableTextColor(rgbOf(wanted), rgbOf(palette().color(QPalette::Window))));
}

void CLinkLabel::applyColor() {
    const QColor colour = currentColor();
    // Setting the palette sends a palette change, which comes back here: stop once it holds.
    if (palette().color(QPalette::WindowText) != colour) {
        QPalette colours = palette();
        colours.setColor(QPalette::WindowText, colour);
        setPalette(colours);
    }
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

void CLinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            // Taken here, so a default button of the dialog does not see it too.
            event->accept();
            OpenLink();
            return;
        }
        break;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
}

void CLinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    // A dotted rectangle around the text in the link's own colour, drawn here rather than by
    // the style: some styles draw no focus rectangle for a label, and a text alone would give
    // no sign that Enter opens it.
    QPainter painter{this};
    painter.setPen(QPen{currentColor(), 1, Qt::DotLine});
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CLinkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (m_attached &&
        (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)) {
        applyColor();
    }
}

} // namespace tarvex::ui
