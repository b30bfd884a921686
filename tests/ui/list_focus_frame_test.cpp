// The focus frame: while a list has the focus, a frame is drawn around its current row, or around
// the viewport when it has none, so that the focus is always seen.
#include "gui/widgets/markup_list_ctrl.h"
#include "support/list_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

namespace tarvex::ui {
namespace {

// How many pixels of column x, rows [top, bottom), have exactly this colour.
int columnCount(const QImage& image, int x, int top, int bottom, const QColor& colour) {
    int count = 0;
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
        count += image.pixelColor(x, y).rgb() == colour.rgb() ? 1 : 0;
    }
    return count;
}

class FocusFrame : public testing::Test {
protected:
    void SetUp() override {
        CMarkupListCtrl& words = *m_window.list;
        words.insertColumn(QStringLiteral("#"), 38);
        words.insertColumn(QStringLiteral("Words"), 400);
        words.setTextSource([](int row, int column) {
            return column == 0 ? std::to_string(row + 1) : "word" + std::to_string(row);
        });
        words.setItemCount(3);
        ASSERT_TRUE(m_window.showWithListFocused());
    }

    CMarkupListCtrl& words() { return *m_window.list; }
    QImage picture() { return words().viewport()->grab().toImage(); }
    QColor colour(QPalette::ColorRole role) {
        return words().palette().color(QPalette::Active, role);
    }

    test::ListWindow<CMarkupListCtrl> m_window;
};

TEST_F(FocusFrame, SurroundsTheFocusedRowOnlyWhileTheListHasTheFocus) {
    QTest::keyClick(&words(), Qt::Key_Down);
    const int height = words().rowHeight(0);
    const QColor dots = colour(QPalette::HighlightedText);
    const int right = 38 + 400 - 1;
    const QImage focused = picture();
    EXPECT_GT(columnCount(focused, 0, 0, height, dots), 0) << "no frame at the row's left";
    EXPECT_GT(columnCount(focused, right, 0, height, dots), 0) << "nor at its right";
    EXPECT_EQ(columnCount(focused, 0, height, 3 * height, colour(QPalette::Text)), 0)
        << "the other rows have no frame";

    m_window.after->setFocus();
    const QImage unfocused = picture();
    EXPECT_EQ(columnCount(unfocused, 0, 0, height, dots), 0);
    EXPECT_EQ(columnCount(unfocused, right, 0, height, dots), 0);
}

TEST_F(FocusFrame, AnEmptyListFramesItsViewport) {
    words().setItemCount(0);
    const QImage image = picture();
    const QColor dots = colour(QPalette::Text);
    EXPECT_GT(columnCount(image, 0, 0, image.height(), dots), 0) << "no frame while empty";
    m_window.after->setFocus();
    EXPECT_EQ(columnCount(picture(), 0, 0, image.height(), dots), 0);
}

} // namespace
} // namespace tarvex::ui
