#include "gui/main_window/search_app.h"

#include "app/service_pages.h"
#include "cache/ole_date.h"
#include "gui/main_window/search_dlg.h"
#include "gui/platform/desktop_services.h"
#include "gui/platform/qt_settings_store.h"
#include "gui/platform/termination_signals.h"
#include "shell/program_folder.h"
#include "shell/setting_names.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>

namespace tarvex::app {

int CSearchApp::run(int argc, char** argv) {
    // A request to end from the very start waits for the window rather than ending the process
    // unsaved.
    TerminationSignals termination;
    QApplication application{argc, argv};
    const std::string key = shell::applicationKey();
    // The settings' root comes before anything reads or writes a setting.
    QApplication::setOrganizationName(QString::fromUtf8(
        shell::kOrganisation.data(), static_cast<qsizetype>(shell::kOrganisation.size())));
    QApplication::setApplicationName(QString::fromStdString(key));
    // The window hides into the tray without ending the program.
    QApplication::setQuitOnLastWindowClosed(false);

    shell::QtSettingsStore settings{key};
    const cache::SystemClock clock;
    ui::DesktopUrlOpener opener;
    ui::DesktopMessageBoxes messages;
    // Asked to end by the system: close as the close box does (the key typed since the last
    // Search stays unsaved), and the cache is saved as the window goes. A request while the
    // window is still being made (a message box of the cache's load is open) closes the boxes;
    // the window then goes as soon as it is made. From then on no box waits for an answer.
    bool endRequested = false;
    QDialog* built = nullptr;
    termination.listen([&endRequested, &built, &messages] {
        endRequested = true;
        messages.setUnattended();
        for (QWidget* open : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(open);
            if (dialog != nullptr && dialog != built && dialog->isVisible()) {
                dialog->reject();
            }
        }
        if (built != nullptr) {
            built->reject();
        }
    });
    {
        CSearchDlg window{SearchDlgServices{
            settings, clock, opener, messages, chooseEndpoint(settings), key, {}, {}}};
        messages.setParent(&window);
        built = &window;
        if (!endRequested) {
            // The window's own loop rather than exec(): hiding the window must not end the run.
            QEventLoop loop;
            QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
            window.show();
            loop.exec();
        }
        built = nullptr;
        // The destroy step's messages, if any, stand on their own: the window has gone.
        messages.setParent(nullptr);
        window.destroyWindow();
    }
    // The settings are synced once per turn of the loop; what the last turn and the window's
    // going wrote reaches the file here, however the window was left (Close, Escape, Exit, a
    // signal).
    settings.sync();
    return 0;
}

} // namespace tarvex::app
