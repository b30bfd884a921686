// The templates built into dialogs: sizes from the font's base units and fitted to the screen,
// names for screen readers, default buttons.
#include "gui/widgets/dialog_builder.h"

#include "res/commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <map>
#include <memory>
#include <vector>

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

struct ExpectedNames {
    const DialogTemplate& dialogTemplate;
    // Each edit, combo box and slider by id, with the name screen readers hear.
    std::map<int, QString> names;
    // Each label that is a buddy, with the id of its control.
    std::map<QString, int> buddies;
};

std::vector<ExpectedNames> everyTemplate() {
    return {
        {mainDialogTemplate(),
         {{kIdQueryWord, "Query Word"}, {kIdLicenceKey, "License Key"}},
         {{"Query Word", kIdQueryWord}, {"License Key", kIdLicenceKey}}},
        {optionsDialogTemplate(),
         {{kIdCacheLifeEdit, "Local Cache Life"}, {kIdResultSizeSlider, "Result Size"}},
         {{"Local Cache Life", kIdCacheLifeEdit}}},
        {cacheDialogTemplate(), {}, {}},
        {aboutDialogTemplate(), {}, {}},
    };
}

// Regression: the Options slider was named "hours", after the last label anywhere before it.
TEST(DialogBuilderNames, EachControlIsNamedByItsOwnLabelOrGroup) {
    for (const ExpectedNames& expected : everyTemplate()) {
        QDialog dialog;
        const BuiltDialog built = buildDialog(expected.dialogTemplate, dialog);
        std::map<int, QString> names;
        for (QWidget* widget : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<QLineEdit*>(widget) != nullptr ||
                qobject_cast<QComboBox*>(widget) != nullptr ||
                qobject_cast<QSlider*>(widget) != nullptr) {
                names[widget->objectName().mid(7).toInt()] = widget->accessibleName();
            }
        }
        EXPECT_EQ(names, expected.names) << expected.dialogTemplate.id;
        std::map<QString, int> buddies;
        for (QLabel* label : dialog.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (label->buddy() != nullptr) {
                buddies[label->text()] = label->buddy()->objectName().mid(7).toInt();
            }
        }
        EXPECT_EQ(buddies, expected.buddies) << expected.dialogTemplate.id;
    }
}

// Counts the clicks of every push button of a dialog.
class ButtonClicks {
public:
    explicit ButtonClicks(QDialog& dialog) {
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            m_spies.emplace(button->text(),
                            std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
        }
    }
    [[nodiscard]] std::map<QString, int> counts() const {
        std::map<QString, int> counts;
        for (const auto& [text, spy] : m_spies) {
            if (spy->count() > 0) {
                counts[text] = static_cast<int>(spy->count());
            }
        }
        return counts;
    }

private:
    std::map<QString, std::unique_ptr<QSignalSpy>> m_spies;
};

// Regression: Enter in the cache browser deleted the selected entries.
TEST(DialogBuilderDefaults, WithoutADefaultButtonEnterPressesNone) {
    QDialog dialog;
    static_cast<void>(buildDialog(cacheDialogTemplate(), dialog));
    dialog.show();
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
    }
    const ButtonClicks clicks{dialog};
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks.counts(), (std::map<QString, int>{}));
}

TEST(DialogBuilderDefaults, ATemplateWithADefaultKeepsQtsAutoDefaults) {
    QDialog dialog;
    const BuiltDialog built = buildDialog(mainDialogTemplate(), dialog);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_TRUE(built.control<QPushButton>(kCmdSearch).isDefault());
    const ButtonClicks clicks{dialog};
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(clicks.counts(), (std::map<QString, int>{{"&Search", 1}}));
    // A focused push button takes Enter for itself while it has the focus.
    built.control<QPushButton>(kCmdReset).setFocus(Qt::TabFocusReason);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(clicks.counts(), (std::map<QString, int>{{"&Search", 1}, {"Reset", 1}}));
}

TEST(DialogBuilderFit, ADialogTooLargeForTheScreenGetsASmallerFont) {
    QDialog roomy;
    static_cast<void>(buildDialog(mainDialogTemplate(), roomy, {}, QSize{10000, 10000}));
    EXPECT_EQ(roomy.font().pointSize(), 8) << "a dialog that fits is left as it is";
    const PixelRect full =
        toPixels({0, 0, 421, 255}, baseUnitsOf(dialogFont(mainDialogTemplate())));
    ASSERT_EQ(roomy.size(), QSize(full.width, full.height));

    // Three quarters of that, as on a screen with a large scale factor.
    const QSize available{full.width * 3 / 4, full.height * 3 / 4};
    QDialog small;
    static_cast<void>(buildDialog(mainDialogTemplate(), small, {}, available));
    EXPECT_LT(small.font().pointSize(), 8);
    EXPECT_GE(small.font().pointSize(), 5);
    EXPECT_LE(small.width(), available.width());
    EXPECT_LE(small.height(), available.height());
    for (QWidget* widget : small.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(small.rect().contains(widget->geometry()))
            << widget->objectName().toStdString();
    }
}

} // namespace
} // namespace tarvex::res
