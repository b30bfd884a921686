// The baseline of the start-up benchmark: a bare dialog of the main window's size and widgets,
// built from the same template by the same builder, with nothing behind it.
#include "gui/widgets/dialog_builder.h"
#include "res/dialog_template.h"

#include <QApplication>
#include <QDialog>

int main(int argc, char** argv) {
    QApplication application{argc, argv};
    QDialog dialog;
    (void)tarvex::res::buildDialog(tarvex::res::mainDialogTemplate(), dialog);
    dialog.show();
    return QApplication::exec();
}
