// Template 102 built into a dialog: sizes from the font's base units, names for screen readers.
#include "gui/widgets/dialog_builder.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarvex::res {
namespace {

TEST(DialogBuilderTest, MainTemplateAtTheFontsBaseUnits) {
    QDialog dialog;
    const BuiltDialog built = buildDialog(mainDialogTemplate(), dialog);
    ASSERT_GT(built.base.x, 0);
    ASSERT_GT(built.base.y, 0);
    EXPECT_EQ(dialog.windowTitle(), "Tarvex");
    const PixelRect size = toPixels({0, 0, 421, 255}, built.base);
    EXPECT_EQ(dialog.minimumSize(), QSize(size.width, size.height));
    EXPECT_EQ(dialog.maximumSize(), QSize(size.width, size.height));
    const PixelRect list = toPixels({7, 39, 407, 149}, built.base);
    EXPECT_EQ(built.controls.at(1004)->geometry(), QRect(list.x, list.y, list.width, list.height));
    EXPECT_EQ(built.controls.size(), 19U) << "every control with an id";
}

TEST(DialogBuilderTest, ControlsOfTheMainTemplate) {
    QDialog dialog;
    const BuiltDialog built = buildDialog(mainDialogTemplate(), dialog);
    auto* edit = qobject_cast<QLineEdit*>(built.controls.at(1003));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit->accessibleName(), "License Key");
    auto* combo = qobject_cast<QComboBox*>(built.controls.at(1002));
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->accessibleName(), "Query Word");
    auto* search = qobject_cast<QPushButton*>(built.controls.at(1000));
    ASSERT_NE(search, nullptr);
    EXPECT_TRUE(search->isDefault());
    EXPECT_EQ(search->text(), "&Search");
    auto* status = qobject_cast<QLabel*>(built.controls.at(1007));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), "Static");
    EXPECT_EQ(status->textFormat(), Qt::PlainText) << "outside text is never read as markup";
    EXPECT_EQ(status->frameShadow(), QFrame::Sunken);
}

} // namespace
} // namespace tarvex::res
