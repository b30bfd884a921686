#include "gui/dialogs/options_dlg.h"

#include "gui/widgets/check_box_command.h"
#include "gui/widgets/dialog_builder.h"
#include "res/commands.h"
#include "shell/setting_names.h"
#include "ui/message_boxes.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace tarvex::shell {

COptions::COptions(SettingsStore& settings, const StartupShortcut& startup,
                   ui::MessageBoxes& messages, std::function<void()> wipeQueryWords,
                   QWidget* parent)
    : QDialog(parent), m_model(settings, startup), m_messages(messages),
      m_wipeQueryWords(std::move(wipeQueryWords)) {
    const res::BuiltDialog built = res::buildDialog(res::optionsDialogTemplate(), *this);
    m_minimize = &built.control<QCheckBox>(res::kIdMinimizeBox);
    m_runAtStartup = &built.control<QCheckBox>(res::kIdRunAtStartupBox);
    m_filter = &built.control<QCheckBox>(res::kIdFilterBox);
    m_safeSearch = &built.control<QCheckBox>(res::kIdSafeSearchBox);
    m_cacheLife = &built.control<QLineEdit>(res::kIdCacheLifeEdit);
    m_resultSize = &built.control<QSlider>(res::kIdResultSizeSlider);
    for (const int id : {res::kIdMinimizeBox, res::kIdRunAtStartupBox}) {
        ui::onUserToggle(built.control<QCheckBox>(id), *this, [this, id] { onCommand(id); });
    }
    for (const int id : {res::kIdWipeWordsButton, res::kCmdOk}) {
        connect(&built.control<QPushButton>(id), &QPushButton::clicked, this,
                [this, id] { onCommand(id); });
    }

    // The values into the controls, then the states read from outside.
    const OptionsModel::Values& values = m_model.values();
    m_cacheLife->setText(QString::number(values.cacheLife));
    m_filter->setChecked(values.filterSimilarResults);
    m_safeSearch->setChecked(values.safeSearch);
    ui::setCheckedQuietly(*m_runAtStartup, m_model.runAtStartup());
    ui::setCheckedQuietly(*m_minimize, m_model.minimizeAtStart());
    m_resultSize->setPageStep(10);
    m_resultSize->setSingleStep(2);
    m_resultSize->setValue(values.maximumResults);
    m_resultSize->setRange(OptionsModel::kFewestResults, OptionsModel::kMostResults);
    m_resultSize->setValue(std::clamp(values.maximumResults, OptionsModel::kFewestResults,
                                      OptionsModel::kMostResults));
}

void COptions::onCommand(int command) {
    switch (command) {
    case res::kIdMinimizeBox:
        onMinimize();
        break;
    case res::kIdRunAtStartupBox:
        onRunAtStartup();
        break;
    case res::kIdWipeWordsButton:
        onWipe();
        break;
    case res::kCmdOk:
        onOk();
        break;
    default:
        break;
    }
}

void COptions::onMinimize() {
    ui::setCheckedQuietly(*m_minimize, m_model.toggleMinimize());
}

void COptions::onRunAtStartup() {
    ui::setCheckedQuietly(*m_runAtStartup, m_model.toggleRunAtStartup());
}

void COptions::onWipe() {
    if (!m_model.wipeWords()) {
        m_messages.show(std::string{kSettingsNotKept});
    }
    if (m_wipeQueryWords) {
        m_wipeQueryWords();
    }
}

void COptions::onOk() {
    const std::optional<std::string> refused =
        m_model.save(m_cacheLife->text().toStdString(),
                     {0, m_resultSize->value(), m_filter->isChecked(), m_safeSearch->isChecked()});
    if (refused) {
        m_messages.show(*refused);
        m_cacheLife->setFocus();
        m_cacheLife->selectAll();
        return;
    }
    accept();
}

} // namespace tarvex::shell
