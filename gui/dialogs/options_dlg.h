#pragma once

#include "shell/options_model.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QSlider;

namespace tarvex::ui {
class MessageBoxes;
}

namespace tarvex::shell {

// The Options dialog: result size, filter, safe search and cache life are saved by OK; the
// start-up check boxes and the wipe button act at the click.
class COptions final : public QDialog {
public:
    // `wipeQueryWords` empties the main window's query word box, when there is one.
    COptions(SettingsStore& settings, const StartupShortcut& startup, ui::MessageBoxes& messages,
             std::function<void()> wipeQueryWords, QWidget* parent = nullptr);

    void onCommand(int command);

private:
    void onMinimize();
    void onRunAtStartup();
    void onWipe();
    void onOk();

    OptionsModel m_model;
    ui::MessageBoxes& m_messages;
    std::function<void()> m_wipeQueryWords;
    QCheckBox* m_minimize = nullptr;
    QCheckBox* m_runAtStartup = nullptr;
    QCheckBox* m_filter = nullptr;
    QCheckBox* m_safeSearch = nullptr;
    QLineEdit* m_cacheLife = nullptr;
    QSlider* m_resultSize = nullptr;
};

} // namespace tarvex::shell
