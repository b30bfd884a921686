#include "gui/dialogs/cache_dlg.h"

#include "gui/widgets/date_text.h"
#include "gui/widgets/dialog_builder.h"
#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/markup_list_ctrl.h"
#include "res/commands.h"
#include "res/menus.h"
#include "shell/setting_names.h"
#include "ui/message_boxes.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

namespace tarvex::cache {
namespace {

constexpr int kNumberColumnWidth = 38;

} // namespace

CCacheDlg::CCacheDlg(CGoogleResultCacheArray& cache, shell::SettingsStore& settings,
                     ui::UrlOpener& opener, ui::MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), m_cache(cache), m_opener(opener), m_messages(messages) {
    const res::BuiltDialog built =
        res::buildDialog(res::cacheDialogTemplate(), *this,
                         [](const res::DialogControl& control, QWidget* owner) -> QWidget* {
                             if (control.id == res::kIdCacheWordList) {
                                 return new ui::CMarkupListCtrl(owner);
                             }
                             if (control.id == res::kIdCacheResultList) {
                                 return new ui::CGoogleResultCtrl(owner);
                             }
                             return nullptr;
                         });
    m_words = &built.control<ui::CMarkupListCtrl>(res::kIdCacheWordList);
    m_results = &built.control<ui::CGoogleResultCtrl>(res::kIdCacheResultList);
    m_time = &built.control<QLabel>(res::kIdCacheTime);
    m_words->setAccessibleName(QStringLiteral("Words in Cache"));
    m_results->setAccessibleName(QStringLiteral("Search Results"));
    m_time->setAccessibleDescription(QStringLiteral("Searched at"));
    for (const int id : {res::kIdDeleteSelected, res::kIdWipeCache, res::kCmdCancel}) {
        connect(&built.control<QPushButton>(id), &QPushButton::clicked, this,
                [this, id] { onCommand(id); });
    }

    // The words: numbered rows of the cache's words; a selection shows that word's results.
    const int wordWidth = m_words->clientWidth();
    m_words->insertColumn(QStringLiteral("#"), kNumberColumnWidth);
    m_words->insertColumn(QStringLiteral("Words"), wordWidth - 40);
    m_words->selectCommandId = res::kCmdWordSelected;
    m_words->emptyText = QStringLiteral("The cache is empty");
    m_words->setTextSource([this](int row, int column) {
        return column == 0 ? std::to_string(row + 1) : m_cache.GetWordAt(row);
    });
    m_words->setCommandTarget([this](int command) { onCommand(command); });
    m_words->setItemCount(m_cache.GetCount());
    // Delete in the word list asks as Delete Selected does.
    m_words->deleteCommandId = res::kIdDeleteSelected;

    // The results, in the layout the main window last used; fixed while the browser is open.
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->contextMenuId = res::kCacheResultMenu;
    m_results->defaultCommandId = res::kCmdBrowse;
    m_results->setShowGrid(true);
    m_results->emptyText = QStringLiteral("Please select a word");
    const int width = m_results->clientWidth();
    m_results->insertColumn(QStringLiteral("#"), kNumberColumnWidth);
    m_results->insertColumn(QStringLiteral("URL"), width - 40);
    if (shell::kSpreadSheetMode.get(settings) != 0) {
        m_results->rowHeightPercent = ui::CGoogleResultCtrl::kSpreadSheetPercent;
        m_results->insertColumn(QStringLiteral("Title"), width - 40);
        m_results->insertColumn(QStringLiteral("Snippet"), width - 40);
    } else {
        m_results->rowHeightPercent = ui::CGoogleResultCtrl::kNormalPercent;
    }
    m_results->resetFont();
    m_results->setCommandTarget([this](int command) { onCommand(command); });
}

void CCacheDlg::onCommand(int command) {
    if (m_results->onResultCommand(command, m_opener)) {
        return;
    }
    switch (command) {
    case res::kCmdWordSelected:
        OnWordSelected();
        break;
    case res::kIdDeleteSelected:
        OnDeleteSelected();
        break;
    case res::kIdWipeCache:
        OnWipeCache();
        break;
    case res::kCmdCancel:
        reject();
        break;
    default:
        break;
    }
}

void CCacheDlg::OnWordSelected() {
    const std::string word = m_cache.GetWordAt(m_words->GetCurrentSelection());
    if (word.empty()) {
        return;
    }
    SearchResultSet entry;
    (void)m_cache.Lookup(word, entry, true);
    entry.queryWord = word;
    m_results->setResults(entry);
    m_results->setItemCount(static_cast<int>(entry.urls.size()));
    if (entry.searchedAt.status == OleDate::kValid) {
        m_time->setText(
            ui::localeDateText(entry.searchedAt.days).value_or(QStringLiteral("Invalid DateTime")));
        m_time->setAccessibleName(m_time->text());
    }
}

void CCacheDlg::OnDeleteSelected() {
    std::vector<std::string> words;
    m_words->GetSelectedColumnTexts(1, words);
    if (words.empty()) {
        m_messages.show("Please select one or more words to delete from the cache.");
        return;
    }
    const std::string question = "About to Delete " + std::to_string(words.size()) +
                                 " Selected Entries from Cache.\r\n\r\nAre you sure?";
    if (m_messages.ask(question) == ui::Answer::Yes) {
        deleteWords(words);
    }
}

void CCacheDlg::OnWipeCache() {
    std::vector<std::string> words;
    m_words->GetAllColumnTexts(1, words);
    if (words.empty()) {
        m_messages.show("The cache is empty.");
        return;
    }
    if (m_messages.ask("About to delete all the entries from Cache.\r\n\r\nAre you sure?") ==
        ui::Answer::Yes) {
        deleteWords(words);
    }
}

void CCacheDlg::deleteWords(const std::vector<std::string>& words) {
    if (m_cache.DeleteWords(words) <= 0) {
        return;
    }
    m_words->setItemCount(m_cache.GetCount());
    m_results->setItemCount(0);
    OnWordSelected();
}

} // namespace tarvex::cache
