#pragma once

#include "shell/settings_store.h"
#include "shell/startup_shortcut.h"

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

    // The members the controls exchange with.
    std::int32_t cacheLife = 24;
    std::int32_t maximumResults = 10;
    bool filterSimilarResults = true;
    bool safeSearch = false;

private:
    void onMinimize();
    void onRunAtStartup();
    void onWipe();
    void onOk();

    SettingsStore& m_settings;
    const StartupShortcut& m_startup;
    ui::MessageBoxes& m_messages;
    std::function<void()> m_wipeQueryWords;
    QCheckBox* m_minimize = nullptr;
    QCheckBox* m_runAtStartup = nullptr;
    QCheckBox* m_filter = nullptr;
    QCheckBox* m_safeSearch = nullptr;
    QLineEdit* m_cacheLife = nullptr;
    QSlider* m_resultSize = nullptr;
};

// A whole number as the cache-life field takes it: optional blanks, an optional sign, digits,
// optional blanks; nothing for anything else or a number outside 32 bits.
[[nodiscard]] std::optional<std::int32_t> wholeNumber(std::string_view text);

} // namespace tarvex::shell
