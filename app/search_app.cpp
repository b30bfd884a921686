#include "search_app.h"

#include "desktop_services.h"
#include "ole_date.h"
#include "program_folder.h"
#include "qt_settings_store.h"
#include "search_dlg.h"
#include "service_pages.h"

#include <QApplication>
#include <QEventLoop>

namespace tarvex::app {

int CSearchApp::run(int argc, char** argv) {
    QApplication application{argc, argv};
    const std::string key = shell::applicationKey();
    // The settings' root comes before anything reads or writes a setting.
    QApplication::setOrganizationName(QString::fromLatin1(shell::QtSettingsStore::kOrganisation));
    QApplication::setApplicationName(QString::fromStdString(key));
    // The window hides into the tray without ending the program.
    QApplication::setQuitOnLastWindowClosed(false);

    shell::QtSettingsStore settings{key};
    const cache::SystemClock clock;
    ui::DesktopUrlOpener opener;
    ui::DesktopMessageBoxes messages;
    {
        CSearchDlg window{SearchDlgServices{
            settings, clock, opener, messages, chooseEndpoint(settings), key, {}}};
        messages.setParent(&window);
        // The window's own loop rather than exec(): hiding the window must not end the run.
        QEventLoop loop;
        QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
        window.show();
        loop.exec();
        messages.setParent(nullptr);
    }
    return 0;
}

} // namespace tarvex::app
