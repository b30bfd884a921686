#pragma once

#include "app/search_session.h"
#include "gui/main_window/posted_commands.h"
#include "gui/main_window/search_dlg_controls.h"
#include "gui/main_window/window_tray.h"

#include <QDialog>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace tarvex::ui {
class MessageBoxes;
class UrlOpener;
} // namespace tarvex::ui

namespace tarvex::app {

// What the main window works with, handed in by the application (tests hand in their own).
struct SearchDlgServices {
    shell::SettingsStore& settings;
    const cache::Clock& clock;
    ui::UrlOpener& opener;
    ui::MessageBoxes& messages;
    // The endpoint in use: the searches go there and the service's web pages are on its origin.
    std::string endpoint;
    // The settings' application key; it names the default cache file's folder.
    std::string applicationKey;
    // Makes the proxy of one request; by default one for `endpoint`.
    ProxyFactory proxies;
    // Makes the tray icon; by default the desktop's.
    std::function<std::unique_ptr<shell::SystemTray>()> trays;
};

// The main window: licence key and query word, the result list, the statistics and the buttons.
// Every button, menu item and posted command passes through onCommand.
class CSearchDlg final : public QDialog, public SearchView {
public:
    explicit CSearchDlg(SearchDlgServices services, QWidget* parent = nullptr);
    ~CSearchDlg() override;
    CSearchDlg(const CSearchDlg&) = delete;
    CSearchDlg& operator=(const CSearchDlg&) = delete;

    void onCommand(int command);
    // The destroy step: the cache saved to its file (once; the destructor does it when nobody
    // did). Messages of a failed save go to the message boxes.
    void destroyWindow();

    // SearchView
    [[nodiscard]] SearchFields readFields() override;
    void showFields(const SearchFields& fields) override;
    void enableSearch(bool enabled) override;
    void messageBox(const std::string& text) override;
    void showResults(const cache::SearchResultSet& results) override;
    void searchEnded(const SearchOutcome& outcome) override;

    [[nodiscard]] ui::CGoogleResultCtrl& resultList() { return *m_ui.resultList; }
    [[nodiscard]] cache::CGoogleResultCacheArray& resultCache() { return m_session.cache(); }
    [[nodiscard]] bool searching() const { return m_session.busy(); }
    [[nodiscard]] shell::SystemTray& tray() { return m_tray->icon(); }

protected:
    bool event(QEvent* event) override;

private:
    // The handler of each command that the window itself handles.
    void routeCommands();
    void initDialog();
    // The history into the query word's list, with the word `selected` (or `typed` when none).
    void showHistory(int selected, const QString& typed);
    void onClose();
    void onReset();
    void onSpreadSheetMode();
    void onSearchInBrowser();
    void onOptions();
    void onCache();
    void onAbout();
    // Help? and More Tools...: the maker's page at `address`, on the endpoint's origin.
    [[nodiscard]] std::string makersPage(const std::string& address) const;

    SearchDlgServices m_services;
    std::shared_ptr<PostedCommands> m_poster;
    SearchSession m_session;
    std::unique_ptr<WindowTray> m_tray;
    std::int32_t m_searchCount = 0;
    int m_spreadSheetMode = 0;
    bool m_destroyed = false;

    SearchDlgControls m_ui;
    std::map<int, std::function<void()>> m_commands;
};

} // namespace tarvex::app
