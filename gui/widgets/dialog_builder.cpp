#include "gui/widgets/dialog_builder.h"

#include "ui/control_names.h"
#include "ui/dialog_fit.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTableView>

namespace tarvex::res {
namespace {

QString caption(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* makeStatic(const DialogControl& control, QWidget* parent) {
    auto* label = new QLabel(caption(control.text), parent);
    // Texts shown here come from outside too (statuses, counts): never read them as markup.
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment alignment = Qt::AlignTop;
    if ((control.style & kStyleRightAligned) != 0) {
        alignment |= Qt::AlignRight;
    } else if ((control.style & kStyleCentered) != 0) {
        alignment |= Qt::AlignHCenter;
    } else {
        alignment |= Qt::AlignLeft;
    }
    label->setAlignment(alignment);
    if ((control.style & kStyleSunken) != 0) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if ((control.style & kStyleVCentered) != 0) {
        label->setAlignment((label->alignment() & ~Qt::AlignTop) | Qt::AlignVCenter);
    }
    label->setWordWrap((control.style & kStyleNoWrap) == 0 && (control.style & kStyleSunken) == 0);
    return label;
}

QWidget* makeControl(const DialogControl& control, QWidget* parent) {
    switch (control.kind) {
    case ControlKind::Static:
        return makeStatic(control, parent);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(parent);
        if ((control.style & kStylePassword) != 0) {
            edit->setEchoMode(QLineEdit::Password);
        }
        return edit;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
        auto* button = new QPushButton(caption(control.text), parent);
        button->setDefault(control.kind == ControlKind::DefaultPushButton);
        return button;
    }
    case ControlKind::AutoCheckBox:
        return new QCheckBox(caption(control.text), parent);
    case ControlKind::GroupBox:
        return new QGroupBox(caption(control.text), parent);
    case ControlKind::ListView:
        return new QTableView(parent);
    case ControlKind::Trackbar: {
        auto* slider = new QSlider(Qt::Horizontal, parent);
        if ((control.style & kStyleAutoTicks) != 0) {
            slider->setTickPosition(QSlider::TicksBelow);
            slider->setTickInterval(1);
        }
        return slider;
    }
    case ControlKind::Icon: {
        // The program's icon (128) is the one icon a template shows.
        auto* icon = new QLabel(parent);
        icon->setPixmap(QIcon{QStringLiteral(":/icons/program_256.png")}.pixmap(32, 32));
        icon->setAccessibleName(QStringLiteral("Tarvex"));
        return icon;
    }
    }
    return new QWidget(parent);
}

bool hasDefaultButton(const DialogTemplate& dialogTemplate) {
    return std::any_of(dialogTemplate.controls.begin(), dialogTemplate.controls.end(),
                       [](const DialogControl& control) {
                           return control.kind == ControlKind::DefaultPushButton;
                       });
}

// The template's font at the largest size, up to its own, at which the dialog fits `available`.
QFont fittingFont(const DialogTemplate& dialogTemplate, QSize available) {
    QFont font = dialogFont(dialogTemplate);
    const int points =
        ui::fittingPointSize(dialogTemplate.width, dialogTemplate.height, dialogTemplate.fontPoints,
                             {available.width(), available.height()}, [&font](int size) {
                                 QFont sized = font;
                                 sized.setPointSize(size);
                                 return baseUnitsOf(sized);
                             });
    font.setPointSize(points);
    return font;
}

// Names the template's edits, combo boxes and sliders after their own label or group box; a
// label is the buddy of the control it names.
void nameControls(const DialogTemplate& dialogTemplate, const std::vector<QWidget*>& widgets) {
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        const std::optional<std::size_t> naming = ui::namingControl(dialogTemplate.controls, i);
        if (!naming) {
            continue;
        }
        widgets[i]->setAccessibleName(
            caption(dialogTemplate.controls[*naming].text).remove(QLatin1Char('&')));
        if (auto* label = qobject_cast<QLabel*>(widgets[*naming]); label != nullptr) {
            // The label relation screen readers follow.
            label->setBuddy(widgets[i]);
        }
    }
}

} // namespace

QFont dialogFont(const DialogTemplate& dialogTemplate) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (dialogTemplate.fontFace != "MS Shell Dlg" && dialogTemplate.fontFace != "MS Sans Serif") {
        font.setFamily(caption(dialogTemplate.fontFace));
    }
    font.setPointSize(dialogTemplate.fontPoints);
    return font;
}

BaseUnits baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics{font};
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return baseUnitsFromFont(alphabet, metrics.height());
}

BuiltDialog buildDialog(const DialogTemplate& dialogTemplate, QDialog& dialog,
                        const ControlFactory& factory) {
    const QScreen* screen = dialog.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    // Without a screen there is nothing to fit: the template's own size.
    const QSize available = screen != nullptr ? screen->availableGeometry().size()
                                              : QSize{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    return buildDialog(dialogTemplate, dialog, factory, available);
}

BuiltDialog buildDialog(const DialogTemplate& dialogTemplate, QDialog& dialog,
                        const ControlFactory& factory, QSize available) {
    const QFont font = fittingFont(dialogTemplate, available);
    dialog.setFont(font);
    dialog.setWindowTitle(caption(dialogTemplate.title));
    BuiltDialog built{{}, baseUnitsOf(font)};
    const PixelRect size =
        toPixels({0, 0, dialogTemplate.width, dialogTemplate.height}, built.base);
    dialog.setFixedSize(size.width, size.height);
    // Qt makes the first auto-default button of a shown dialog its default; a template without
    // a default button means Enter presses none.
    const bool autoDefault = hasDefaultButton(dialogTemplate);

    std::vector<QWidget*> widgets;
    widgets.reserve(dialogTemplate.controls.size());
    for (const DialogControl& control : dialogTemplate.controls) {
        QWidget* widget = factory ? factory(control, &dialog) : nullptr;
        if (widget == nullptr) {
            widget = makeControl(control, &dialog);
        }
        widgets.push_back(widget);
        const PixelRect place = toPixels(control.rect, built.base);
        int height = place.height;
        if (control.kind == ControlKind::ComboBox) {
            // A combo box's template height is that of its open list; closed it is one line.
            height = toPixels({0, 0, 0, 13}, built.base).height;
        }
        widget->setGeometry(place.x, place.y, place.width, height);
        if (auto* button = qobject_cast<QPushButton*>(widget); button != nullptr && !autoDefault) {
            button->setAutoDefault(false);
        }
        if (control.id != kNoId) {
            widget->setObjectName(QStringLiteral("control%1").arg(control.id));
            built.controls[control.id] = widget;
        }
    }
    nameControls(dialogTemplate, widgets);
    return built;
}

} // namespace tarvex::res
