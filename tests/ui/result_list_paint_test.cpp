// The result list's pixels: the colours of its lines, rows and empty text, on the offscreen
// platform.
#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/markup_list_ctrl.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>

namespace tarvex::ui {
namespace {

// Whether any pixel of the band of rows [top, bottom) of the image has exactly this colour.
bool bandHas(const QImage& image, int top, int bottom, QColor colour) {
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb()) {
                return true;
            }
        }
    }
    return false;
}

class ResultListPaintTest : public testing::Test {
protected:
    void SetUp() override {
        m_list.resize(640, 300);
        m_list.insertColumn("#", 38);
        m_list.insertColumn("URL", 560);
        m_list.insertColumn("Title", 0);
        m_list.insertColumn("Snippet", 0);
        cache::SearchResultSet set;
        set.urls = {"http://example.org/page"};
        set.titles = {"Title with a <b>BOLD</b> run"};
        set.snippets = {"Snippet words <b>MARKED</b> here"};
        set.summaries = {"summary"};
        set.categoryNames = {"Category"};
        set.directoryTitles = {"Directory"};
        m_list.setResults(set);
        m_list.setItemCount(1);
        m_list.show();
    }

    void spreadSheet() {
        m_list.setItemCount(0);
        m_list.rowHeightPercent = CGoogleResultCtrl::kSpreadSheetPercent;
        m_list.horizontalHeader()->resizeSection(1, 200);
        m_list.horizontalHeader()->resizeSection(2, 300);
        m_list.horizontalHeader()->resizeSection(3, 300);
        m_list.resetFont();
        m_list.setItemCount(1);
    }

    QImage picture() { return m_list.viewport()->grab().toImage(); }

    CGoogleResultCtrl m_list;
};

TEST_F(ResultListPaintTest, NormalRowsDrawTheirLinesInTheirColours) {
    ASSERT_EQ(m_list.itemHeight(), 104);
    ASSERT_EQ(m_list.rowHeight(0), 104);
    const QImage image = picture();
    const int step = 104 / 5;
    EXPECT_TRUE(bandHas(image, 0, step, QColor(0, 0, 255))) << "the URL is blue";
    EXPECT_TRUE(bandHas(image, step, 2 * step, QColor(255, 0, 0))) << "the title's bold run is red";
    EXPECT_TRUE(bandHas(image, step, 2 * step, QColor(0, 0, 0)))
        << "the rest of the title is black";
    EXPECT_TRUE(bandHas(image, 2 * step, 3 * step, QColor(128, 0, 0))) << "the snippet is maroon";
    EXPECT_TRUE(bandHas(image, 2 * step, 3 * step, QColor(255, 0, 0))) << "its bold run red";
    EXPECT_FALSE(bandHas(image, 3 * step, 104, QColor(255, 0, 0))) << "summary and directory";
}

TEST_F(ResultListPaintTest, SpreadSheetRowsDrawNoRed) {
    spreadSheet();
    EXPECT_EQ(m_list.rowHeight(0), 20);
    const QImage image = picture();
    EXPECT_FALSE(bandHas(image, 0, image.height(), QColor(255, 0, 0)));
    EXPECT_TRUE(bandHas(image, 0, 20, QColor(0, 0, 0))) << "the cells are drawn black";
}

TEST_F(ResultListPaintTest, ASelectedRowIsDrawnInTheHighlightColours) {
    m_list.selectRow(0);
    const QImage image = picture();
    const QColor highlight = m_list.palette().color(QPalette::Active, QPalette::Highlight);
    EXPECT_TRUE(bandHas(image, 0, 104, highlight));
    EXPECT_FALSE(bandHas(image, 0, 104, QColor(128, 0, 0))) << "no maroon snippet";
    EXPECT_FALSE(bandHas(image, 0, 104, QColor(255, 0, 0))) << "no red runs";
}

TEST_F(ResultListPaintTest, AnEmptyListPaintsItsTextUnlessThatIsEmpty) {
    m_list.setItemCount(0);
    const QColor text = m_list.palette().color(QPalette::Text);
    EXPECT_TRUE(bandHas(picture(), 10, 40, text));
    m_list.emptyText.clear();
    EXPECT_FALSE(bandHas(picture(), 0, 300, text));
}

TEST(MarkupListPaintTest, EvenRowsAreLightCyanAndOddRowsWhite) {
    CMarkupListCtrl words;
    words.resize(300, 200);
    words.insertColumn("Words", 280);
    words.setTextSource([](int row, int) { return "word " + std::to_string(row + 1); });
    words.setItemCount(3);
    words.show();
    EXPECT_EQ(words.rowHeight(0), 18);
    const QImage image = words.viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(270, 2).rgb(), QColor(240, 255, 255).rgb());
    EXPECT_EQ(image.pixelColor(270, 18 + 2).rgb(), QColor(255, 255, 255).rgb());
    EXPECT_EQ(image.pixelColor(270, 36 + 2).rgb(), QColor(240, 255, 255).rgb());
}

TEST(ListModelTest, AnswersByRowIndexAndPassesTheModelChecks) {
    ListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    model.insertColumn("#");
    model.insertColumn("URL");
    int asked = 0;
    model.setTextSource([&asked](int row, int column) {
        ++asked;
        return std::to_string(row) + ":" + std::to_string(column);
    });
    model.setItemCount(100000);
    EXPECT_EQ(model.rowCount(), 100000);
    EXPECT_EQ(model.data(model.index(99999, 1), Qt::DisplayRole).toString(), "99999:1");
    EXPECT_EQ(model.data(model.index(5, 0), Qt::AccessibleTextRole).toString(), "5:0");
    EXPECT_EQ(model.cellText(100000, 0), "") << "rows outside the list have no text";
    model.setItemCount(-3);
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
} // namespace tarvex::ui
