#pragma once

#include <functional>

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvex::ui {
class CGoogleResultCtrl;
class CLinkLabel;
class MessageBoxes;
class UrlOpener;
} // namespace tarvex::ui

namespace tarvex::app {

// What a screen reader says the status line is, while no failure's reason stands there instead.
inline constexpr const char* kStatusDescription = "Status";

// The main window's controls, built from its template into the dialog, which owns them.
struct SearchDlgControls {
    QComboBox* queryWord = nullptr;
    QLineEdit* licenceKey = nullptr;
    QLabel* resultCount = nullptr;
    QLabel* searchNumber = nullptr;
    QLabel* status = nullptr;
    QLabel* searchedAt = nullptr;
    QPushButton* searchButton = nullptr;
    QPushButton* moreTools = nullptr;
    QCheckBox* spreadSheet = nullptr;
    ui::CGoogleResultCtrl* resultList = nullptr;
    ui::CLinkLabel* linkLabel = nullptr;
};

// Builds the main window's template into `dialog`: every button, the check box and the result
// list send their command to `onCommand`; the controls whose text changes carry their label as
// description for screen readers; the result list has its columns and menus.
[[nodiscard]] SearchDlgControls buildSearchDlgControls(QDialog& dialog, ui::UrlOpener& opener,
                                                       ui::MessageBoxes& messages,
                                                       const std::function<void(int)>& onCommand);

} // namespace tarvex::app
