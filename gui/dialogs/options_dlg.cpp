#include "gui/dialogs/options_dlg.h"

#include "gui/widgets/dialog_builder.h"
#include "res/commands.h"
#include "shell/setting_names.h"
#include "shell/word_history.h"
#include "ui/message_boxes.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <charconv>

namespace tarvex::shell {
namespace {

constexpr int kFewestResults = 10;
constexpr int kMostResults = 30;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::optional<std::int32_t> wholeNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

COptions::COptions(SettingsStore& settings, const StartupShortcut& startup,
                   ui::MessageBoxes& messages, std::function<void()> wipeQueryWords,
                   QWidget* parent)
    : QDialog(parent), m_settings(settings), m_startup(startup), m_messages(messages),
      m_wipeQueryWords(std::move(wipeQueryWords)) {
    cacheLife = kCacheLife.get(m_settings);
    maximumResults = kMaximumResults.get(m_settings);
    filterSimilarResults = kSearchFilter.get(m_settings) != 0;
    safeSearch = kSafeSearch.get(m_settings) != 0;

    const res::BuiltDialog built = res::buildDialog(res::optionsDialogTemplate(), *this);
    m_minimize = &built.control<QCheckBox>(res::kIdMinimizeBox);
    m_runAtStartup = &built.control<QCheckBox>(res::kIdRunAtStartupBox);
    m_filter = &built.control<QCheckBox>(res::kIdFilterBox);
    m_safeSearch = &built.control<QCheckBox>(res::kIdSafeSearchBox);
    m_cacheLife = &built.control<QLineEdit>(res::kIdCacheLifeEdit);
    m_resultSize = &built.control<QSlider>(res::kIdResultSizeSlider);
    m_resultSize->setAccessibleName(QStringLiteral("Result Size"));
    for (const int id : {res::kIdMinimizeBox, res::kIdRunAtStartupBox}) {
        connect(&built.control<QCheckBox>(id), &QCheckBox::clicked, this,
                [this, id] { onCommand(id); });
    }
    for (const int id : {res::kIdWipeWordsButton, res::kCmdOk}) {
        connect(&built.control<QPushButton>(id), &QPushButton::clicked, this,
                [this, id] { onCommand(id); });
    }

    // The members into the controls, then the states read from outside.
    m_cacheLife->setText(QString::number(cacheLife));
    m_filter->setChecked(filterSimilarResults);
    m_safeSearch->setChecked(safeSearch);
    m_runAtStartup->setChecked(m_startup.StartupShortcutExists(kStartupLinkName));
    m_minimize->setChecked(kMinimize.get(m_settings) != 0);
    m_resultSize->setPageStep(10);
    m_resultSize->setSingleStep(2);
    m_resultSize->setValue(maximumResults);
    m_resultSize->setRange(kFewestResults, kMostResults);
    m_resultSize->setValue(std::clamp(maximumResults, kFewestResults, kMostResults));
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
    const bool minimize = kMinimize.get(m_settings) == 0;
    kMinimize.put(m_settings, minimize ? 1 : 0);
    m_minimize->setChecked(minimize);
}

void COptions::onRunAtStartup() {
    // The new state comes from the file, not from the check box.
    const bool on = !m_startup.StartupShortcutExists(kStartupLinkName);
    (void)m_startup.SetStartupShortcut(kStartupLinkName, kStartupDescription, on);
    m_runAtStartup->setChecked(on);
}

void COptions::onWipe() {
    wipeWords(m_settings, kSearchWordsSection);
    if (m_wipeQueryWords) {
        m_wipeQueryWords();
    }
}

void COptions::onOk() {
    const std::optional<std::int32_t> life = wholeNumber(m_cacheLife->text().toStdString());
    if (!life) {
        m_messages.show("Please enter an integer.");
        m_cacheLife->setFocus();
        m_cacheLife->selectAll();
        return;
    }
    cacheLife = *life;
    maximumResults = m_resultSize->value();
    filterSimilarResults = m_filter->isChecked();
    safeSearch = m_safeSearch->isChecked();
    kCacheLife.put(m_settings, cacheLife);
    kMaximumResults.put(m_settings, maximumResults);
    kSearchFilter.put(m_settings, filterSimilarResults ? 1 : 0);
    kSafeSearch.put(m_settings, safeSearch ? 1 : 0);
    accept();
}

} // namespace tarvex::shell
