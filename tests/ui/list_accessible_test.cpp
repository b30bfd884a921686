// The lists as screen readers see them: a list of rows, each named by its clean text, the
// focused row announced.
#include "gui/widgets/accessible_events.h"
#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/markup_list_ctrl.h"
#include "support/list_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>

#include <vector>

namespace tarvex::ui {
namespace {

QString nameOf(QAccessibleInterface* accessible) {
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QStringLiteral("<none>");
}

// Sets up the main window's result list in the normal mode: Title and Snippet 0 px wide.
void mainResults(CGoogleResultCtrl& list, int rows) {
    list.insertMainColumns(38);
    list.setResults(test::markedUpResults(rows));
    list.applyMainLayout(false);
}

TEST(ListAccessible, AResultListIsAListOfRowsNamedByTheirCleanText) {
    CGoogleResultCtrl list;
    mainResults(list, 3);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&list);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::List);
    ASSERT_EQ(accessible->childCount(), 3) << "cells or headers exposed";
    for (int row = 0; row < 3; ++row) {
        QAccessibleInterface* item = accessible->child(row);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->childCount(), 0);
        const QString n = QString::number(row);
        EXPECT_EQ(item->text(QAccessible::Name), "Title " + n + " & co, http://example.org/" + n +
                                                     "?a=1&b=2, first second <" + n + ">");
        EXPECT_EQ(item->parent(), accessible);
        EXPECT_EQ(accessible->indexOfChild(item), row);
    }
}

TEST(ListAccessible, WordRowsNameTheShownColumnsOnly) {
    CMarkupListCtrl words;
    words.insertColumn(QStringLiteral("#"), 38);
    words.insertColumn(QStringLiteral("Words"), 200);
    words.insertColumn(QStringLiteral("Hidden"), 0);
    words.setTextSource([](int row, int column) {
        const std::vector<std::string> texts{std::to_string(row + 1), "word", "SECRET"};
        return texts[static_cast<std::size_t>(column)];
    });
    words.setItemCount(2);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&words);
    ASSERT_EQ(accessible->childCount(), 2);
    EXPECT_EQ(nameOf(accessible->child(0)), "word, 1");
    EXPECT_EQ(nameOf(accessible->child(1)), "word, 2");
}

TEST(ListAccessible, ARowKeepsItsInterfaceUntilTheRowsChange) {
    CGoogleResultCtrl list;
    mainResults(list, 3);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&list);
    QAccessibleInterface* first = accessible->child(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(accessible->child(1), first);
    const QAccessible::Id id = QAccessible::uniqueId(first);
    ASSERT_EQ(QAccessible::accessibleInterface(id), first);

    list.setItemCount(2);
    EXPECT_EQ(QAccessible::accessibleInterface(id), nullptr) << "the old row was not dropped";
    EXPECT_EQ(accessible->childCount(), 2);
    EXPECT_EQ(accessible->child(2), nullptr);
}

TEST(ListAccessible, TheFocusedRowIsAnnouncedAndReportedAsFocused) {
    test::ListWindow<CGoogleResultCtrl> window;
    mainResults(*window.list, 3);
    // What a screen reader would be told. (The offscreen platform has no screen reader, so Qt
    // itself would drop these.)
    std::vector<std::string> focused;
    watchAccessibleEvents([&focused](const QAccessibleEvent& event) {
        if (event.type() == QAccessible::Focus) {
            focused.push_back(nameOf(event.accessibleInterface()).toStdString());
        }
    });
    ASSERT_TRUE(window.showWithListFocused());
    QTest::keyClick(window.list, Qt::Key_Down);
    QTest::keyClick(window.list, Qt::Key_Down);
    EXPECT_EQ(focused, (std::vector<std::string>{
                           "Title 0 & co, http://example.org/0?a=1&b=2, first second <0>",
                           "Title 1 & co, http://example.org/1?a=1&b=2, first second <1>"}));

    watchAccessibleEvents({});
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window.list);
    QAccessibleInterface* row = accessible->focusChild();
    ASSERT_EQ(row, accessible->child(1));
    EXPECT_TRUE(row->state().focused);
    EXPECT_TRUE(row->state().selected);
    EXPECT_TRUE(row->state().selectable);
    EXPECT_FALSE(accessible->child(0)->state().selected);
    EXPECT_FALSE(accessible->child(0)->state().focused);
}

} // namespace
} // namespace tarvex::ui
