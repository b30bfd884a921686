// The result lists from the keyboard: one tab stop, moving by rows over shown columns only, and
// Enter, Space, Shift+F10 and Ctrl+C doing what the mouse and the menu do.
#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/markup_list_ctrl.h"
#include "res/commands.h"
#include "res/menus.h"
#include "support/list_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

#include <vector>

namespace tarvex::ui {
namespace {

constexpr int kNumberWidth = 38;

void settle() {
    for (int k = 0; k < 3; ++k) {
        QApplication::processEvents();
    }
}

// The main window's result list: "#", "URL", and "Title" and "Snippet" 0 px wide in the normal
// mode; tall rows, so that a vertical scroll bar shows.
class ResultListKeys : public testing::Test {
protected:
    void SetUp() override {
        CGoogleResultCtrl& list = *m_window.list;
        list.setCommandTarget([this](int command) { commands.push_back(command); });
        list.insertMainColumns(kNumberWidth);
        list.contextMenuId = res::kResultListMenu;
        list.defaultCommandId = res::kCmdBrowse;
        list.setResults(test::markedUpResults(12));
        list.applyMainLayout(false);
        ASSERT_TRUE(m_window.showWithListFocused());
        settle();
    }

    CGoogleResultCtrl& list() { return *m_window.list; }
    int currentRow() { return list().currentIndex().row(); }
    // Runs the posted commands.
    std::vector<int> commandsAfterEvents() {
        settle();
        return commands;
    }

    test::ListWindow<CGoogleResultCtrl> m_window;
    std::vector<int> commands;
};

TEST_F(ResultListKeys, TabAndBacktabLeaveTheListInOnePress) {
    QTest::keyClick(&list(), Qt::Key_Down);
    QTest::keyClick(&list(), Qt::Key_Tab);
    EXPECT_TRUE(m_window.after->hasFocus()) << "Tab walked the cells instead";
    list().setFocus(Qt::TabFocusReason);
    QTest::keyClick(&list(), Qt::Key_Backtab);
    EXPECT_TRUE(m_window.before->hasFocus());
}

TEST_F(ResultListKeys, TheFirstDownOrHomeSelectsTheFirstRow) {
    QTest::keyClick(&list(), Qt::Key_Down);
    EXPECT_EQ(list().selectedRows(), std::vector<int>{0}) << "focus-in made row 1 current";
    EXPECT_EQ(currentRow(), 0);
    QTest::keyClick(&list(), Qt::Key_Down);
    EXPECT_EQ(list().selectedRows(), std::vector<int>{1});

    list().setItemCount(list().itemCount());
    QTest::keyClick(&list(), Qt::Key_Home);
    EXPECT_EQ(list().selectedRows(), std::vector<int>{0});
    QTest::keyClick(&list(), Qt::Key_End);
    EXPECT_EQ(list().selectedRows(), std::vector<int>{11}) << "End goes to the last row";
}

TEST_F(ResultListKeys, HiddenColumnsNeverTakeTheCurrentIndex) {
    QTest::keyClick(&list(), Qt::Key_Down);
    for (int k = 0; k < 4; ++k) {
        QTest::keyClick(&list(), Qt::Key_Right);
        settle();
        EXPECT_GT(list().columnWidth(list().currentIndex().column()), 0) << "after Right " << k;
        EXPECT_EQ(list().horizontalScrollBar()->value(), 0) << "scrolled toward a hidden column";
    }
    QTest::keyClick(&list(), Qt::Key_Left);
    EXPECT_EQ(list().currentIndex().column(), 0);
}

TEST_F(ResultListKeys, BringingACellIntoViewDoesNotScrollSideways) {
    // As in the main window once a vertical scroll bar shows: "#" and URL together a little wider
    // than the view, URL alone narrower. A click or a key on a URL cell brings it into view.
    list().horizontalHeader()->resizeSection(1, list().viewport()->width() - 20);
    settle();
    ASSERT_GT(list().horizontalScrollBar()->maximum(), 0);
    list().scrollTo(list().model()->index(5, 1));
    EXPECT_EQ(list().horizontalScrollBar()->value(), 0) << "\"#\" slid out of sight";
    EXPECT_GT(list().verticalScrollBar()->value(), 0) << "the row came into view";
}

TEST_F(ResultListKeys, AModeSwitchScrollsBackToTheLeftEdge) {
    list().applyMainLayout(true);
    settle();
    QScrollBar& bar = *list().horizontalScrollBar();
    ASSERT_GT(bar.maximum(), 0);
    bar.setValue(bar.maximum());
    list().applyMainLayout(false);
    settle();
    EXPECT_EQ(bar.value(), 0) << "the normal mode kept the offset";
    EXPECT_EQ(list().horizontalHeader()->offset(), 0);
    list().applyMainLayout(true);
    bar.setValue(bar.maximum() / 2);
    list().applyMainLayout(true);
    settle();
    EXPECT_EQ(bar.value(), 0) << "the spreadsheet mode kept the offset";
}

TEST_F(ResultListKeys, EnterAndSpaceOnAFocusedRowRunTheDefaultCommand) {
    QTest::keyClick(&list(), Qt::Key_Down);
    QTest::keyClick(&list(), Qt::Key_Return);
    QTest::keyClick(&list(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&list(), Qt::Key_Space);
    EXPECT_EQ(commandsAfterEvents(),
              (std::vector<int>{res::kCmdBrowse, res::kCmdBrowse, res::kCmdBrowse}));
    EXPECT_EQ(list().selectedRows(), std::vector<int>{0});
}

TEST_F(ResultListKeys, CtrlCRunsSelectedRows) {
    QTest::keyClick(&list(), Qt::Key_Down);
    QTest::keyClick(&list(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(commandsAfterEvents(), std::vector<int>{res::kCmdSelectedRows});
}

// The menu a key opened: where it appeared; it is closed at once.
struct OpenedMenu {
    bool shown = false;
    QPoint topLeft;
};

OpenedMenu pressForMenu(QWidget& list, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    OpenedMenu opened;
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, &list, [&opened] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            opened = {true, menu->geometry().topLeft()};
            menu->close();
        }
    });
    closer.start(0);
    QTest::keyClick(&list, key, modifiers);
    settle();
    return opened;
}

TEST_F(ResultListKeys, ShiftF10OpensTheMenuAtTheCurrentRowOrTheTopLeft) {
    const OpenedMenu atTop = pressForMenu(list(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(atTop.shown) << "no menu";
    EXPECT_EQ(atTop.topLeft, list().mapToGlobal(QPoint{0, 0}));

    QTest::keyClick(&list(), Qt::Key_Down);
    QTest::keyClick(&list(), Qt::Key_Down);
    const QRect row1 = list()
                           .visualRect(list().model()->index(1, 0))
                           .united(list().visualRect(list().model()->index(1, 1)));
    const QRect globalRow{list().viewport()->mapToGlobal(row1.topLeft()), row1.size()};
    const OpenedMenu atRow = pressForMenu(list(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(atRow.shown);
    EXPECT_TRUE(globalRow.contains(atRow.topLeft)) << "the menu is not at the current row";
    EXPECT_EQ(commandsAfterEvents(), std::vector<int>{}) << "closing the menu runs nothing";
}

TEST(MarkupListKeys, CtrlCCopiesTheWordListsSelectedRowsItself) {
    test::ListWindow<CMarkupListCtrl> window;
    CMarkupListCtrl& words = *window.list;
    std::vector<int> commands;
    words.setCommandTarget([&commands](int command) { commands.push_back(command); });
    words.insertColumn(QStringLiteral("#"), kNumberWidth);
    words.insertColumn(QStringLiteral("Words"), 400);
    words.setTextSource([](int row, int column) {
        return column == 0 ? std::to_string(row + 1) : "word" + std::to_string(row);
    });
    words.setItemCount(3);
    ASSERT_TRUE(window.showWithListFocused());
    QApplication::clipboard()->clear();
    words.selectionModel()->select(words.model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    words.selectionModel()->select(words.model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    commands.clear();
    QTest::keyClick(&words, Qt::Key_C, Qt::ControlModifier);
    std::string expected;
    ASSERT_TRUE(words.SelectedRowsText(expected, -1));
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected);
    EXPECT_EQ(commands, std::vector<int>{}) << "the word list's owner has no copy command";
}

TEST(MarkupListKeys, EnterIsLeftToTheDialogWithoutRowsOrDefaultCommand) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new CGoogleResultCtrl(&dialog);
    auto* search = new QPushButton(QStringLiteral("Search"), &dialog);
    layout->addWidget(list);
    layout->addWidget(search);
    search->setDefault(true);
    int searches = 0;
    QObject::connect(search, &QPushButton::clicked, &dialog, [&searches] { ++searches; });
    list->insertMainColumns(kNumberWidth);
    list->defaultCommandId = res::kCmdBrowse;
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(searches, 1) << "Enter in the empty list";

    list->setResults(test::markedUpResults(2));
    list->applyMainLayout(false);
    list->defaultCommandId = 0;
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(searches, 2) << "Enter with no default command";
}

} // namespace
} // namespace tarvex::ui
