#include "gui/main_window/search_dlg_controls.h"

#include "gui/widgets/check_box_command.h"
#include "gui/widgets/dialog_builder.h"
#include "gui/widgets/google_result_ctrl.h"
#include "gui/widgets/link_label.h"
#include "res/commands.h"
#include "res/menus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarvex::app {
namespace {

constexpr int kNumberColumnWidth = 38;

} // namespace

SearchDlgControls buildSearchDlgControls(QDialog& dialog, ui::UrlOpener& opener,
                                         ui::MessageBoxes& messages,
                                         const std::function<void(int)>& onCommand) {
    const res::BuiltDialog built = res::buildDialog(
        res::mainDialogTemplate(), dialog,
        [&opener, &messages](const res::DialogControl& control, QWidget* parent) -> QWidget* {
            if (control.id == res::kIdResultList) {
                return new ui::CGoogleResultCtrl(parent);
            }
            if (control.id == res::kIdLinkLabel) {
                auto* label = new ui::CLinkLabel(opener, messages, parent);
                label->setText(QString::fromUtf8(control.text.data(),
                                                 static_cast<qsizetype>(control.text.size())));
                return label;
            }
            return nullptr;
        });
    SearchDlgControls controls;
    controls.queryWord = &built.control<QComboBox>(res::kIdQueryWord);
    controls.licenceKey = &built.control<QLineEdit>(res::kIdLicenceKey);
    controls.resultCount = &built.control<QLabel>(res::kIdResultCount);
    controls.searchNumber = &built.control<QLabel>(res::kIdSearchCount);
    controls.status = &built.control<QLabel>(res::kIdStatus);
    controls.searchedAt = &built.control<QLabel>(res::kIdSearchedAt);
    controls.searchButton = &built.control<QPushButton>(res::kCmdSearch);
    controls.moreTools = &built.control<QPushButton>(res::kCmdMoreTools);
    controls.spreadSheet = &built.control<QCheckBox>(res::kCmdSpreadSheet);
    controls.resultList = &built.control<ui::CGoogleResultCtrl>(res::kIdResultList);
    controls.linkLabel = &built.control<ui::CLinkLabel>(res::kIdLinkLabel);

    for (const int id :
         {res::kCmdSearch, res::kCmdSearchInBrowser, res::kCmdHelp, res::kCmdReset, res::kCmdAbout,
          res::kCmdCache, res::kCmdMoreTools, res::kCmdOptions, res::kCmdTray, res::kCmdOk}) {
        QObject::connect(&built.control<QPushButton>(id), &QPushButton::clicked, &dialog,
                         [onCommand, id] { onCommand(id); });
    }
    ui::onUserToggle(*controls.spreadSheet, dialog,
                     [onCommand] { onCommand(res::kCmdSpreadSheet); });
    ui::CGoogleResultCtrl& list = *controls.resultList;
    list.setCommandTarget(onCommand);
    list.insertMainColumns(kNumberColumnWidth);
    list.contextMenuId = res::kResultListMenu;
    list.defaultCommandId = res::kCmdBrowse;

    // Names for screen readers: the list by its role, the changing statics keep their text as
    // name and carry their label as description.
    list.setAccessibleName(QStringLiteral("Results"));
    controls.resultCount->setAccessibleDescription(QStringLiteral("Result #"));
    controls.searchNumber->setAccessibleDescription(QStringLiteral("Search #"));
    controls.searchedAt->setAccessibleDescription(QStringLiteral("Searched at"));
    controls.status->setAccessibleDescription(QString::fromLatin1(kStatusDescription));
    controls.linkLabel->setAccessibleName(controls.linkLabel->text());
    return controls;
}

} // namespace tarvex::app
