#pragma once

#include "cache/google_result_cache.h"
#include "shell/settings_store.h"

#include <QDialog>

class QLabel;

namespace tarvex::ui {
class CGoogleResultCtrl;
class CMarkupListCtrl;
class MessageBoxes;
class UrlOpener;
} // namespace tarvex::ui

namespace tarvex::cache {

// The cache browser: every cached word, stale or not, with its results; words can be deleted.
// It works on the main window's cache directly.
class CCacheDlg final : public QDialog {
public:
    CCacheDlg(CGoogleResultCacheArray& cache, shell::SettingsStore& settings, ui::UrlOpener& opener,
              ui::MessageBoxes& messages, QWidget* parent = nullptr);

    void onCommand(int command);
    void OnWordSelected();
    void OnDeleteSelected();
    void OnWipeCache();

    [[nodiscard]] ui::CMarkupListCtrl& wordList() { return *m_words; }
    [[nodiscard]] ui::CGoogleResultCtrl& resultList() { return *m_results; }

private:
    // Deletes the words and shows what is left.
    void deleteWords(const std::vector<std::string>& words);

    CGoogleResultCacheArray& m_cache;
    ui::UrlOpener& m_opener;
    ui::MessageBoxes& m_messages;
    ui::CMarkupListCtrl* m_words = nullptr;
    ui::CGoogleResultCtrl* m_results = nullptr;
    QLabel* m_time = nullptr;
};

} // namespace tarvex::cache
