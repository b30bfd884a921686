#pragma once

#include "res/dialog_template.h"

#include <QFont>

#include <functional>
#include <map>

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
};

// The template's font: "MS Shell Dlg" and "MS Sans Serif" are the desktop's sans-serif font at
// the template's point size.
[[nodiscard]] QFont dialogFont(const DialogTemplate& dialogTemplate);
// The base units of a font, as the dialog manager measures them.
[[nodiscard]] BaseUnits baseUnitsOf(const QFont& font);

// Builds the template's controls into `dialog`, in template order, at their pixel positions,
// and gives the dialog the template's title, font and fixed size. An edit, combo box or slider
// takes the caption of the label just before it as its accessible name.
BuiltDialog buildDialog(const DialogTemplate& dialogTemplate, QDialog& dialog,
                        const ControlFactory& factory = {});

} // namespace tarvex::res
