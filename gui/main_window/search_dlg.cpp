#include "gui/main_window/search_dlg.h"

#include "app/service_pages.h"
#include "gui/dialogs/about_dlg.h"
#include "gui/dialogs/cache_dlg.h"
#include "gui/dialogs/options_dlg.h"
#include "gui/widgets/check_box_command.h"
#include "gui/widgets/date_text.h"
#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/link_label.h"
#include "gui/widgets/status_text.h"
#include "res/commands.h"
#include "res/menus.h"
#include "shell/brand_texts.h"
#include "shell/setting_names.h"
#include "ui/message_boxes.h"
#include "ui/url_opener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarvex::app {
namespace {

constexpr std::string_view kResultsShownStatus =
    "Double click on an entry to open it in browser. Right click for more options.";

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A static whose text changes keeps that text as its accessible name.
void showStatic(QLabel& label, const QString& text) {
    label.setText(text);
    label.setAccessibleName(text);
}

} // namespace

CSearchDlg::CSearchDlg(SearchDlgServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services)),
      m_poster(std::make_shared<PostedCommands>(this)),
      m_session(
          *this, m_services.settings, m_services.clock, m_poster,
          SessionSetup{
              m_services.endpoint, m_services.applicationKey, {}, {}, true, m_services.proxies}) {
    m_spreadSheetMode = m_session.spreadSheetMode() ? 1 : 0;
    setWindowIcon(QIcon{QStringLiteral(":/icons/program_256.png")});
    routeCommands();
    m_ui = buildSearchDlgControls(*this, m_services.opener, m_services.messages,
                                  [this](int command) { onCommand(command); });
    initDialog();
}

CSearchDlg::~CSearchDlg() {
    destroyWindow();
}

void CSearchDlg::destroyWindow() {
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    // A search still running is abandoned: its end is never delivered to this window.
    m_poster->detach();
    // A damaged file is kept aside before the save writes over it; a failed save keeps the old
    // file and says so.
    if (const std::optional<CacheSave> save = m_session.close()) {
        for (const std::string& message : save->messages()) {
            m_services.messages.show(message);
        }
    }
    if (!m_session.settingsKept()) {
        m_services.messages.show(std::string{shell::kSettingsNotKept});
    }
}

void CSearchDlg::initDialog() {
    // The members into the controls first: empty strings instead of the template's placeholders,
    // and the spreadsheet mode read at construction into its check box.
    for (QLabel* label : {m_ui.resultCount, m_ui.searchedAt}) {
        showStatic(*label, QString{});
    }
    showFields(SearchFields{});
    SearchFields fields = readFields();
    m_ui.linkLabel->SetUrl(developerPageAddress(endpointOrigin(m_services.endpoint)));
    m_ui.linkLabel->attach();
    fields.licenceKey = m_session.licenceKey();
    m_searchCount = m_session.searchCount();
    fields.searchNumber = m_searchCount;
    showFields(fields);

    m_ui.resultList->applyMainLayout(m_spreadSheetMode != 0);

    const bool minimize = shell::kMinimize.get(m_services.settings) != 0;
    m_tray = std::make_unique<WindowTray>(
        *this, m_services.trays ? m_services.trays() : std::make_unique<shell::CSystemTray>(),
        [this](int command) { onCommand(command); });
    if (minimize) {
        QCoreApplication::postEvent(this, new CommandEvent(res::kCmdTray));
    }
    m_session.open([this](const std::string& message) { m_services.messages.show(message); });
    showHistory(-1, QString{});
    setWindowTitle(qtext(shell::ProductName() + " [" + shell::CoBrandName() + "]"));
    std::string url;
    std::string caption;
    if (shell::CoBrandLink(url, caption) && !caption.empty()) {
        m_ui.moreTools->setText(qtext(caption));
    }
}

void CSearchDlg::showHistory(int selected, const QString& typed) {
    m_ui.queryWord->clear();
    for (const std::string& word : m_session.history().words) {
        m_ui.queryWord->addItem(qtext(word));
    }
    m_ui.queryWord->setCurrentIndex(selected);
    if (selected < 0) {
        m_ui.queryWord->setEditText(typed);
    }
}

bool CSearchDlg::event(QEvent* event) {
    if (event->type() == CommandEvent::kType) {
        onCommand(static_cast<CommandEvent*>(event)->command());
        return true;
    }
    return QDialog::event(event);
}

void CSearchDlg::routeCommands() {
    const auto open = [this](const std::string& address) {
        (void)m_services.opener.OpenUrl(address, ui::kShowNormal);
    };
    m_commands = {
        {res::kCmdSearch, [this] { m_session.search(); }},
        {res::kCmdSearchCompleted, [this] { m_session.searchCompleted(); }},
        {res::kCmdOk, [this] { onClose(); }},
        {res::kCmdExit,
         [this] { QCoreApplication::postEvent(this, new CommandEvent(res::kCmdOk)); }},
        {res::kCmdTray, [this] { m_tray->sendAway(); }},
        {res::kCmdRestore, [this] { m_tray->bringBack(); }},
        {res::kCmdReset, [this] { onReset(); }},
        {res::kCmdSearchInBrowser, [this] { onSearchInBrowser(); }},
        {res::kCmdMoreTools, [this, open] { open(makersPage(shell::moreToolsAddress())); }},
        {res::kCmdHelp, [this, open] { open(makersPage(shell::helpAddress())); }},
        {res::kCmdSpreadSheet, [this] { onSpreadSheetMode(); }},
        {res::kCmdOptions, [this] { onOptions(); }},
        {res::kCmdCache, [this] { onCache(); }},
        {res::kCmdAbout, [this] { onAbout(); }},
    };
}

std::string CSearchDlg::makersPage(const std::string& address) const {
    // The maker's pages are served by the service, like the search page; a partner's link is
    // the partner's own.
    if (shell::IsCoBranded()) {
        return address;
    }
    return addressOnOrigin(endpointOrigin(m_services.endpoint), address);
}

void CSearchDlg::onCommand(int command) {
    // The result list's own commands (browse, copy); Word Selected has no handler here.
    if (m_ui.resultList->onResultCommand(command, m_services.opener)) {
        return;
    }
    if (const auto handler = m_commands.find(command); handler != m_commands.end()) {
        handler->second();
    }
}

void CSearchDlg::onClose() {
    const SearchFields fields = readFields();
    m_session.keepLicenceKey(fields.licenceKey);
    done(QDialog::Accepted);
}

void CSearchDlg::onReset() {
    SearchFields fields = readFields();
    fields.searchNumber = m_session.resetSearchCount();
    showFields(fields);
}

void CSearchDlg::onSpreadSheetMode() {
    (void)readFields();
    m_session.setSpreadSheetMode(m_spreadSheetMode != 0);
    m_ui.resultList->applyMainLayout(m_spreadSheetMode != 0);
}

void CSearchDlg::onSearchInBrowser() {
    const SearchFields fields = readFields();
    if (fields.queryWord.empty()) {
        return;
    }
    (void)m_services.opener.OpenUrl(
        searchPageAddress(endpointOrigin(m_services.endpoint), fields.queryWord), ui::kShowNormal);
}

void CSearchDlg::onOptions() {
    const shell::StartupShortcut startup{
        [this](const std::string& message) { m_services.messages.show(message); }};
    {
        shell::COptions options{m_services.settings, startup, m_services.messages,
                                [this] {
                                    m_session.forgetHistory();
                                    m_ui.queryWord->clear();
                                },
                                isVisible() ? this : nullptr};
        options.exec();
    }
    m_session.reloadCacheLife();
}

void CSearchDlg::onCache() {
    cache::CCacheDlg browser{m_session.cache(), m_services.settings, m_services.opener,
                             m_services.messages, this};
    browser.exec();
}

void CSearchDlg::onAbout() {
    shell::CAboutDlg about{isVisible() ? this : nullptr};
    about.exec();
}

SearchFields CSearchDlg::readFields() {
    SearchFields fields;
    fields.queryWord = m_ui.queryWord->currentText().toStdString();
    fields.licenceKey = m_ui.licenceKey->text().toStdString();
    fields.statusText = m_ui.status->text().toStdString();
    fields.searchNumber = m_searchCount;
    m_spreadSheetMode = m_ui.spreadSheet->isChecked() ? 1 : 0;
    return fields;
}

void CSearchDlg::showFields(const SearchFields& fields) {
    if (m_ui.queryWord->currentText().toStdString() != fields.queryWord) {
        m_ui.queryWord->setEditText(qtext(fields.queryWord));
    }
    m_ui.licenceKey->setText(qtext(fields.licenceKey));
    ui::showStatusText(*m_ui.status, qtext(fields.statusText));
    m_searchCount = fields.searchNumber;
    showStatic(*m_ui.searchNumber, QString::number(m_searchCount));
    ui::setCheckedQuietly(*m_ui.spreadSheet, m_spreadSheetMode != 0);
}

void CSearchDlg::enableSearch(bool enabled) {
    m_ui.searchButton->setEnabled(enabled);
    // A request under way shows as a busy cursor over the list.
    if (enabled) {
        m_ui.resultList->unsetCursor();
    } else {
        m_ui.resultList->setCursor(Qt::BusyCursor);
    }
}

void CSearchDlg::messageBox(const std::string& text) {
    m_services.messages.show(text);
}

void CSearchDlg::showResults(const cache::SearchResultSet& results) {
    SearchFields fields = readFields();
    showStatic(*m_ui.resultCount, QString::number(results.estimatedTotal));
    if (results.urls.size() > 0) {
        fields.statusText = std::string{kResultsShownStatus};
    }
    showStatic(*m_ui.searchedAt, ui::searchedAtText(results.searchedAt));
    showFields(fields);
    m_ui.resultList->setResults(results);
    m_ui.resultList->setItemCount(static_cast<int>(results.urls.size()));
    // The session has put the word into the history first.
    showHistory(m_session.history().selected, m_ui.queryWord->currentText());
}

void CSearchDlg::searchEnded(const SearchOutcome& outcome) {
    // The status stays "Error!"; why is a tool tip away, and its description for screen readers.
    const bool failed = outcome.kind == SearchOutcome::Kind::Failed && !outcome.reason.empty();
    m_ui.status->setToolTip(failed ? qtext(outcome.reason) : QString{});
    m_ui.status->setAccessibleDescription(failed ? qtext(outcome.reason)
                                                 : QString::fromLatin1(kStatusDescription));
}

} // namespace tarvex::app
