#pragma once

#include "res/dialog_template.h"

#include <QFont>
#include <QSize>
#include <QtGlobal>

#include <functional>
#include <map>
#include <typeinfo>

class QDialog;
class QWidget;

namespace tarvex::res {

// Makes the widget of a control the builder does not make itself (a list with its own class);
// null leaves it to the builder.
using ControlFactory = std::function<QWidget*(const DialogControl&, QWidget* parent)>;

// The widgets of a template, by control id (controls without an id are built, not listed).
struct BuiltDialog {
    std::map<int, QWidget*> controls;
    BaseUnits base;

    // The control of `id` as the kind of widget the code expects. A template that has no such
    // control, or one of another kind, stops the program saying so: an edited template must not
    // become undefined behaviour.
    template <class Widget>
    [[nodiscard]] Widget& control(int id) const {
        const auto found = controls.find(id);
        auto* widget = found == controls.end() ? nullptr : dynamic_cast<Widget*>(found->second);
        if (widget == nullptr) {
            qFatal("dialog template: control %d is missing or not a %s", id, typeid(Widget).name());
        }
        return *widget;
    }
};

// The template's font: "MS Shell Dlg" and "MS Sans Serif" are the desktop's sans-serif font at
// the template's point size.
[[nodiscard]] QFont dialogFont(const DialogTemplate& dialogTemplate);
// The base units of a font, as the dialog manager measures them.
[[nodiscard]] BaseUnits baseUnitsOf(const QFont& font);

// Builds the template's controls into `dialog`, in template order, at their pixel positions,
// and gives the dialog the template's title, font and fixed size. Where that size does not fit
// the available area of the dialog's screen (the primary screen when it has none), the font is
// made smaller until it does. An edit, combo box or slider takes as accessible name the caption
// of the label right before it, which becomes its buddy, or else of the group box it stands in.
// In a template without a default push button no push button becomes the default.
BuiltDialog buildDialog(const DialogTemplate& dialogTemplate, QDialog& dialog,
                        const ControlFactory& factory = {});
// The same on a screen whose available area is `available` pixels.
BuiltDialog buildDialog(const DialogTemplate& dialogTemplate, QDialog& dialog,
                        const ControlFactory& factory, QSize available);

} // namespace tarvex::res
