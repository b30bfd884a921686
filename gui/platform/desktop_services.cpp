#include "gui/platform/desktop_services.h"

#include "res/resource_strings.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include <cstdio>

namespace tarvex::ui {

int DesktopUrlOpener::OpenUrl(const std::string& url, int /*showCommand*/) {
    const QUrl address{QString::fromStdString(url), QUrl::TolerantMode};
    if (url.empty() || !address.isValid()) {
        return kOpenFileNotFound;
    }
    return QDesktopServices::openUrl(address) ? kOpenSucceeded : kOpenNoAssociation;
}

void DesktopMessageBoxes::show(const std::string& text, MessageIcon icon) {
    if (m_unattended) {
        std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(res::kApplicationTitle.size()),
                     res::kApplicationTitle.data(), text.c_str());
        return;
    }
    QMessageBox box{icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromUtf8(res::kApplicationTitle.data(),
                                      static_cast<qsizetype>(res::kApplicationTitle.size())),
                    QString::fromStdString(text), QMessageBox::Ok, m_parent};
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Answer DesktopMessageBoxes::ask(const std::string& text) {
    if (m_unattended) {
        return Answer::Cancel;
    }
    QMessageBox box{QMessageBox::Question,
                    QString::fromUtf8(res::kApplicationTitle.data(),
                                      static_cast<qsizetype>(res::kApplicationTitle.size())),
                    QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent};
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void DesktopMessageBoxes::beep() {
    QApplication::beep();
}

} // namespace tarvex::ui
