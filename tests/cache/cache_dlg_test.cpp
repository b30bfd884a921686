// The cache browser on the offscreen platform, on a cache of its own.
#include "gui/dialogs/cache_dlg.h"

#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/markup_list_ctrl.h"
#include "res/commands.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QTest>

namespace tarvex::cache {
namespace {

SearchResultSet results(const std::string& word, int count, double days) {
    SearchResultSet set;
    set.queryWord = word;
    set.estimatedTotal = count;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        set.urls.add("http://" + word + ".example/" + n);
        set.titles.add(word + " title " + n);
        set.summaries.add("");
        set.snippets.add("");
        set.categoryNames.add("");
        set.directoryTitles.add("");
    }
    set.searchedAt = OleDate{days, OleDate::kValid};
    return set;
}

class CacheDlgTest : public testing::Test {
protected:
    void fill() {
        m_cache.Store("alpha", results("alpha", 2, 46000.25));
        m_cache.Store("beta", results("beta", 3, 46000.5));
        m_cache.Store("gamma", results("gamma", 1, 46000.75));
    }
    CCacheDlg& open() {
        m_dialog = std::make_unique<CCacheDlg>(m_cache, m_settings, m_opener, m_messages);
        m_dialog->show();
        return *m_dialog;
    }
    void select(std::initializer_list<int> rows) {
        ui::CMarkupListCtrl& words = m_dialog->wordList();
        words.clearSelection();
        for (const int row : rows) {
            words.selectionModel()->select(words.model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    QLabel& timeField() {
        for (QLabel* label : m_dialog->findChildren<QLabel*>()) {
            if (label->accessibleDescription() == "Searched at") {
                return *label;
            }
        }
        throw std::runtime_error("no time field");
    }

    test::FixedClock m_clock;
    CGoogleResultCacheArray m_cache{m_clock};
    shell::MemorySettingsStore m_settings;
    test::RecordingOpener m_opener;
    test::RecordingMessages m_messages;
    std::unique_ptr<CCacheDlg> m_dialog;
};

TEST_F(CacheDlgTest, AnEmptyCacheSaysSo) {
    CCacheDlg& dialog = open();
    EXPECT_EQ(dialog.windowTitle(), "Cache Browser");
    EXPECT_EQ(dialog.wordList().itemCount(), 0);
    EXPECT_EQ(dialog.wordList().emptyText, "The cache is empty");
    EXPECT_EQ(dialog.resultList().emptyText, "Please select a word");
    // Columns fill the lists: the client width less the number column and a margin.
    EXPECT_EQ(dialog.wordList().horizontalHeader()->sectionSize(1),
              dialog.wordList().clientWidth() - 40);
    EXPECT_GT(dialog.resultList().horizontalHeader()->sectionSize(1), 300);
    dialog.onCommand(1021);
    EXPECT_EQ(m_messages.texts, std::vector<std::string>{"The cache is empty."});
    EXPECT_TRUE(m_messages.questions.empty());
    dialog.onCommand(1019);
    EXPECT_EQ(m_messages.texts.back(), "Please select one or more words to delete from the cache.");
}

TEST_F(CacheDlgTest, AStaleWordStillShowsItsResultsAndTime) {
    m_cache.cacheLifeHours = 1;
    fill();
    CCacheDlg& dialog = open();
    ASSERT_EQ(dialog.wordList().itemCount(), 3);
    EXPECT_EQ(dialog.wordList().cellText(1, 1), "beta");
    EXPECT_EQ(dialog.wordList().cellText(1, 0), "2");
    select({1});
    EXPECT_EQ(dialog.resultList().itemCount(), 3);
    EXPECT_EQ(dialog.resultList().results().urls[2], "http://beta.example/2");
    EXPECT_FALSE(timeField().text().isEmpty());
    EXPECT_NE(timeField().text(), "Invalid DateTime");
}

TEST_F(CacheDlgTest, SeveralSelectedShowTheLastOnesResults) {
    fill();
    CCacheDlg& dialog = open();
    select({0, 2});
    EXPECT_EQ(dialog.resultList().itemCount(), 1);
    EXPECT_EQ(dialog.resultList().results().urls[0], "http://gamma.example/0");
}

TEST_F(CacheDlgTest, NoAndCancelDeleteNothing) {
    fill();
    CCacheDlg& dialog = open();
    select({0, 1});
    for (const ui::Answer answer : {ui::Answer::No, ui::Answer::Cancel}) {
        m_messages.answer = answer;
        dialog.onCommand(1019);
        dialog.onCommand(1021);
    }
    EXPECT_EQ(m_cache.GetCount(), 3);
    ASSERT_EQ(m_messages.questions.size(), 4U);
    EXPECT_EQ(m_messages.questions[0],
              "About to Delete 2 Selected Entries from Cache.\r\n\r\nAre you sure?");
    EXPECT_EQ(m_messages.questions[1],
              "About to delete all the entries from Cache.\r\n\r\nAre you sure?");
}

TEST_F(CacheDlgTest, DeletingTheSelectedWordsRefreshesBothLists) {
    fill();
    CCacheDlg& dialog = open();
    select({1});
    ASSERT_EQ(dialog.resultList().itemCount(), 3);
    dialog.onCommand(1019);
    EXPECT_EQ(m_cache.GetCount(), 2);
    EXPECT_EQ(dialog.wordList().itemCount(), 2);
    EXPECT_EQ(dialog.wordList().cellText(1, 1), "gamma");
    EXPECT_EQ(dialog.resultList().itemCount(), 0) << "empty until another word is selected";
}

TEST_F(CacheDlgTest, DeleteInTheWordListAsksAndEnterDeletesNothing) {
    fill();
    CCacheDlg& dialog = open();
    select({0});
    dialog.wordList().setFocus();
    m_messages.answer = ui::Answer::No;
    QTest::keyClick(&dialog.wordList(), Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_TRUE(m_messages.questions.empty()) << "Enter runs no button of this dialog";
    QTest::keyClick(&dialog.wordList(), Qt::Key_Delete);
    ASSERT_EQ(m_messages.questions.size(), 1U);
    EXPECT_EQ(m_cache.GetCount(), 3);
    m_messages.answer = ui::Answer::Yes;
    QTest::keyClick(&dialog.wordList(), Qt::Key_Delete);
    EXPECT_EQ(m_cache.GetCount(), 2);
}

TEST_F(CacheDlgTest, WipeCacheDeletesEverything) {
    fill();
    CCacheDlg& dialog = open();
    dialog.onCommand(1021);
    EXPECT_EQ(m_cache.GetCount(), 0);
    EXPECT_EQ(dialog.wordList().itemCount(), 0);
}

TEST_F(CacheDlgTest, ResultCommandsWorkAsInTheMainWindow) {
    fill();
    m_settings.putInt("Settings", "Spread Sheet Mode", 1);
    CCacheDlg& dialog = open();
    EXPECT_EQ(dialog.resultList().columnCount(), 4) << "spreadsheet mode read at opening";
    EXPECT_EQ(dialog.resultList().itemHeight(), 20);
    EXPECT_EQ(dialog.resultList().selectionMode(), QAbstractItemView::SingleSelection);
    select({0});
    dialog.resultList().selectRow(1);
    ASSERT_EQ(dialog.resultList().itemCount(), 2);
    ASSERT_EQ(dialog.resultList().selectedRows(), std::vector<int>{1});
    dialog.onCommand(res::kCmdBrowse);
    EXPECT_EQ(m_opener.opened, std::vector<std::string>{"http://alpha.example/1"});
}

} // namespace
} // namespace tarvex::cache
