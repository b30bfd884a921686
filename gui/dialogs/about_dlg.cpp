#include "gui/dialogs/about_dlg.h"

#include "gui/widgets/dialog_builder.h"
#include "shell/brand_texts.h"

#include <QLabel>
#include <QPushButton>

namespace tarvex::shell {
namespace {

QString qtext(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_titleFont(QStringLiteral("Arial")) {
    m_titleFont.setPixelSize(20);
    m_titleFont.setBold(true);
    const res::BuiltDialog built = res::buildDialog(res::aboutDialogTemplate(), *this);
    connect(&built.control<QPushButton>(1), &QPushButton::clicked, this, &QDialog::accept);

    // Every static text of the box, whatever it sits in; a text that only starts with a
    // placeholder stays as it is.
    for (QLabel* label : findChildren<QLabel*>()) {
        const QString text = label->text();
        if (text == QLatin1String("<Product Name>")) {
            label->setText(qtext(ProductName()));
            label->setFont(m_titleFont);
        } else if (text == QLatin1String("<Copyright>")) {
            label->setText(qtext(aboutText()));
        } else if (text == QLatin1String("<Co-brand Name>")) {
            label->setText(qtext(CoBrandName()));
        } else if (text == QLatin1String("<Version Date>")) {
            const std::string_view version = programBrandBlock().versionText;
            label->setText(QStringLiteral("Build Date: %1")
                               .arg(QString::fromUtf8(version.data(),
                                                      static_cast<qsizetype>(version.size()))));
        }
    }
}

} // namespace tarvex::shell
