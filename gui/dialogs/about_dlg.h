#pragma once

#include <QDialog>
#include <QFont>

namespace tarvex::shell {

// The About box: its template's placeholders become the brand texts when it opens.
class CAboutDlg final : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    // Arial, 20 pixels, bold: the product name's font, one per opening.
    QFont m_titleFont;
};

} // namespace tarvex::shell
