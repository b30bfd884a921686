#include "gui/main_window/search_dlg.h"

#include "app/cache_location.h"
#include "app/service_pages.h"
#include "gui/dialogs/about_dlg.h"
#include "gui/dialogs/cache_dlg.h"
#include "gui/dialogs/options_dlg.h"
#include "gui/widgets/date_text.h"
#include "gui/widgets/dialog_builder.h"
#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/link_label.h"
#include "res/commands.h"
#include "res/menus.h"
#include "shell/brand_texts.h"
#include "shell/setting_names.h"
#include "ui/message_boxes.h"
#include "ui/url_opener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarvex::app {
namespace {

constexpr std::string_view kResultsShownStatus =
    "Double click on an entry to open it in browser. Right click for more options.";
constexpr int kNumberColumnWidth = 38;

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The searched-at time as the desktop's locale writes it.
QString searchedAtText(const cache::OleDate& date) {
    if (date.status != cache::OleDate::kValid) {
        return QStringLiteral("Unknown");
    }
    return ui::localeDateText(date.days).value_or(QStringLiteral("Unknown"));
}

// Cache-file errors go to message boxes.
class CacheErrorBoxes final : public cache::CacheFileErrors {
public:
    explicit CacheErrorBoxes(ui::MessageBoxes& messages) : m_messages(messages) {}
    void report(const std::string& message) override { m_messages.show(message); }

private:
    ui::MessageBoxes& m_messages;
};

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
    buildControls();
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
}

void CSearchDlg::buildControls() {
    const res::BuiltDialog built = res::buildDialog(
        res::mainDialogTemplate(), *this,
        [this](const res::DialogControl& control, QWidget* parent) -> QWidget* {
            if (control.id == res::kIdResultList) {
                return new ui::CGoogleResultCtrl(parent);
            }
            if (control.id == res::kIdLinkLabel) {
                auto* label = new ui::CLinkLabel(m_services.opener, m_services.messages, parent);
                label->setText(qtext(control.text));
                return label;
            }
            return nullptr;
        });
    const auto control = [&built](int id) { return built.controls.at(id); };
    m_queryWord = static_cast<QComboBox*>(control(res::kIdQueryWord));
    m_licenceKey = static_cast<QLineEdit*>(control(res::kIdLicenceKey));
    m_resultCount = static_cast<QLabel*>(control(res::kIdResultCount));
    m_searchNumber = static_cast<QLabel*>(control(res::kIdSearchCount));
    m_status = static_cast<QLabel*>(control(res::kIdStatus));
    m_searchedAt = static_cast<QLabel*>(control(res::kIdSearchedAt));
    m_searchButton = static_cast<QPushButton*>(control(res::kCmdSearch));
    m_moreTools = static_cast<QPushButton*>(control(res::kCmdMoreTools));
    m_spreadSheet = static_cast<QCheckBox*>(control(res::kCmdSpreadSheet));
    m_resultList = static_cast<ui::CGoogleResultCtrl*>(control(res::kIdResultList));
    m_linkLabel = static_cast<ui::CLinkLabel*>(control(res::kIdLinkLabel));

    for (const int id :
         {res::kCmdSearch, res::kCmdSearchInBrowser, res::kCmdHelp, res::kCmdReset, res::kCmdAbout,
          res::kCmdCache, res::kCmdMoreTools, res::kCmdOptions, res::kCmdTray, res::kCmdOk}) {
        auto* button = static_cast<QPushButton*>(control(id));
        connect(button, &QPushButton::clicked, this, [this, id] { onCommand(id); });
    }
    connect(m_spreadSheet, &QCheckBox::clicked, this, [this] { onCommand(res::kCmdSpreadSheet); });
    m_resultList->setCommandTarget([this](int command) { onCommand(command); });

    // Names for screen readers: the list by its role, the changing statics keep their text as
    // name and carry their label as description.
    m_resultList->setAccessibleName(QStringLiteral("Results"));
    m_resultCount->setAccessibleDescription(QStringLiteral("Result #"));
    m_searchNumber->setAccessibleDescription(QStringLiteral("Search #"));
    m_searchedAt->setAccessibleDescription(QStringLiteral("Searched at"));
    m_status->setAccessibleDescription(QStringLiteral("Status"));
    m_linkLabel->setAccessibleName(m_linkLabel->text());
}

void CSearchDlg::initDialog() {
    SearchFields fields = readFields();
    m_linkLabel->SetUrl(developerPageAddress(endpointOrigin(m_services.endpoint)));
    m_linkLabel->attach();
    fields.licenceKey = m_session.licenceKey();
    m_searchCount = m_session.searchCount();
    fields.searchNumber = m_searchCount;
    showFields(fields);

    m_resultList->setShowGrid(true);
    const int width = m_resultList->clientWidth();
    m_resultList->insertColumn(QStringLiteral("#"), kNumberColumnWidth);
    m_resultList->insertColumn(QStringLiteral("URL"), width - 40);
    m_resultList->insertColumn(QStringLiteral("Title"), 0);
    m_resultList->insertColumn(QStringLiteral("Snippet"), 0);
    applyLayout();
    m_resultList->contextMenuId = res::kResultListMenu;
    m_resultList->defaultCommandId = res::kCmdBrowse;

    const bool minimize =
        m_services.settings.getInt(shell::kMinimize.section, shell::kMinimize.entry,
                                   shell::kMinimize.fallback) != 0;
    m_tray = m_services.trays ? m_services.trays() : std::make_unique<shell::CSystemTray>();
    m_tray->setCommandTarget([this](int command) { onCommand(command); });
    m_trayInstalled = m_tray->Install(shell::ProductName(), res::kTrayMenu);
    // Without a notification area the start-up goes on all the same, and Tray minimises.
    if (m_trayInstalled) {
        (void)m_tray->SetDefaultItem(0, true);
        (void)m_tray->Withdraw();
    }
    if (minimize) {
        QCoreApplication::postEvent(this, new CommandEvent(res::kCmdTray));
    }
    CacheErrorBoxes errors{m_services.messages};
    m_session.open(errors);
    fillHistory();
    setWindowTitle(qtext(shell::ProductName() + " [" + shell::CoBrandName() + "]"));
    std::string url;
    std::string caption;
    if (shell::CoBrandLink(url, caption) && !caption.empty()) {
        m_moreTools->setText(qtext(caption));
    }
}

void CSearchDlg::fillHistory() {
    m_queryWord->clear();
    for (const std::string& word : m_session.history().words) {
        m_queryWord->addItem(qtext(word));
    }
    m_queryWord->setCurrentIndex(-1);
    m_queryWord->setEditText(QString{});
}

bool CSearchDlg::event(QEvent* event) {
    if (event->type() == CommandEvent::kType) {
        onCommand(static_cast<CommandEvent*>(event)->command());
        return true;
    }
    return QDialog::event(event);
}

void CSearchDlg::onCommand(int command) {
    switch (command) {
    case res::kCmdSearch:
        m_session.search();
        break;
    case res::kCmdOk:
        onClose();
        break;
    case res::kCmdBrowse:
    case res::kCmdAllUrls:
    case res::kCmdFullTable:
    case res::kCmdSelectedRows:
    case res::kCmdSelectedUrls:
        (void)m_resultList->onResultCommand(command, m_services.opener);
        break;
    case res::kCmdExit:
        QCoreApplication::postEvent(this, new CommandEvent(res::kCmdOk));
        break;
    case res::kCmdTray:
        onTray();
        break;
    case res::kCmdReset:
        onReset();
        break;
    case res::kCmdSearchInBrowser:
        onSearchInBrowser();
        break;
    case res::kCmdMoreTools:
        (void)m_services.opener.OpenUrl(shell::moreToolsAddress(), ui::kShowNormal);
        break;
    case res::kCmdSearchCompleted:
        m_session.searchCompleted();
        break;
    case res::kCmdHelp:
        (void)m_services.opener.OpenUrl(shell::helpAddress(), ui::kShowNormal);
        break;
    case res::kCmdSpreadSheet:
        onSpreadSheetMode();
        break;
    case res::kCmdRestore:
        onRestore();
        break;
    case res::kCmdOptions:
        onOptions();
        break;
    case res::kCmdCache:
        onCache();
        break;
    case res::kCmdAbout:
        onAbout();
        break;
    default:
        // Word Selected has no handler here.
        break;
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
    m_spreadSheetMode = m_spreadSheet->isChecked() ? 1 : 0;
    m_session.setSpreadSheetMode(m_spreadSheetMode != 0);
    applyLayout();
}

void CSearchDlg::applyLayout() {
    ui::CGoogleResultCtrl& list = *m_resultList;
    const int width = list.clientWidth();
    list.setItemCount(0);
    QHeaderView& header = *list.horizontalHeader();
    if (m_spreadSheetMode != 0) {
        list.rowHeightPercent = ui::CGoogleResultCtrl::kSpreadSheetPercent;
        header.resizeSection(1, (2 * width - 80) / 3);
        header.resizeSection(2, width);
        header.resizeSection(3, width);
    } else {
        header.resizeSection(1, width - 40);
        list.rowHeightPercent = ui::CGoogleResultCtrl::kNormalPercent;
        header.resizeSection(2, 0);
        header.resizeSection(3, 0);
    }
    list.resetFont();
    list.setItemCount(static_cast<int>(list.results().urls.size()));
}

void CSearchDlg::onSearchInBrowser() {
    const SearchFields fields = readFields();
    if (fields.queryWord.empty()) {
        return;
    }
    (void)m_services.opener.OpenUrl(
        searchPageAddress(endpointOrigin(m_services.endpoint), fields.queryWord), ui::kShowNormal);
}

void CSearchDlg::onTray() {
    if (!m_trayInstalled) {
        // No icon to come back by: the window goes to the taskbar instead of away.
        showMinimized();
        return;
    }
    (void)m_tray->PutBack();
    hide();
}

void CSearchDlg::onRestore() {
    showNormal();
    raise();
    activateWindow();
    (void)m_tray->Withdraw();
}

void CSearchDlg::onOptions() {
    const shell::StartupShortcut startup{
        [this](const std::string& message) { m_services.messages.show(message); }};
    {
        shell::COptions options{m_services.settings, startup, m_services.messages,
                                [this] {
                                    m_session.forgetHistory();
                                    m_queryWord->clear();
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
    fields.queryWord = m_queryWord->currentText().toStdString();
    fields.licenceKey = m_licenceKey->text().toStdString();
    fields.statusText = m_status->text().toStdString();
    fields.searchNumber = m_searchCount;
    return fields;
}

void CSearchDlg::showFields(const SearchFields& fields) {
    if (m_queryWord->currentText().toStdString() != fields.queryWord) {
        m_queryWord->setEditText(qtext(fields.queryWord));
    }
    m_licenceKey->setText(qtext(fields.licenceKey));
    m_status->setText(qtext(fields.statusText));
    m_status->setAccessibleName(m_status->text());
    m_searchCount = fields.searchNumber;
    m_searchNumber->setText(QString::number(m_searchCount));
    m_searchNumber->setAccessibleName(m_searchNumber->text());
}

void CSearchDlg::enableSearch(bool enabled) {
    m_searchButton->setEnabled(enabled);
}

void CSearchDlg::messageBox(const std::string& text) {
    m_services.messages.show(text);
}

void CSearchDlg::showResults(const cache::SearchResultSet& results) {
    SearchFields fields = readFields();
    m_resultCount->setText(QString::number(results.estimatedTotal));
    m_resultCount->setAccessibleName(m_resultCount->text());
    if (results.urls.size() > 0) {
        fields.statusText = std::string{kResultsShownStatus};
    }
    m_searchedAt->setText(searchedAtText(results.searchedAt));
    m_searchedAt->setAccessibleName(m_searchedAt->text());
    showFields(fields);
    m_resultList->setResults(results);
    m_resultList->setItemCount(static_cast<int>(results.urls.size()));
    // The session has put the word into the history first.
    const shell::WordList& history = m_session.history();
    const QString typed = m_queryWord->currentText();
    m_queryWord->clear();
    for (const std::string& word : history.words) {
        m_queryWord->addItem(qtext(word));
    }
    m_queryWord->setCurrentIndex(history.selected);
    if (history.selected < 0) {
        m_queryWord->setEditText(typed);
    }
}

void CSearchDlg::searchEnded(const SearchOutcome& outcome) {
    // The status stays "Error!"; why is a tool tip away.
    m_status->setToolTip(outcome.kind == SearchOutcome::Kind::Failed ? qtext(outcome.reason)
                                                                     : QString{});
}

} // namespace tarvex::app
