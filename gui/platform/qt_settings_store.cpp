#include "gui/platform/qt_settings_store.h"

#include "shell/oversized_settings.h"
#include "shell/setting_names.h"

#include <QMetaObject>
#include <QStandardPaths>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::shell {
namespace {

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

QString key(std::string_view section, std::string_view entry) {
    return text(section) + QLatin1Char('/') + text(entry);
}

// The file holds the licence key: readable by its owner only. Made so before the first write
// (the atomic write keeps the mode of the file it replaces), and mended if it was made
// readable by others before.
void keepPrivate(const QString& fileName) {
    const std::filesystem::path path{fileName.toStdString()};
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    } else if (S_ISREG(info.st_mode) && (info.st_mode & 077) != 0) {
        ::chmod(path.c_str(), info.st_mode & 0700);
    }
}

// A settings file far larger than this program writes takes seconds to read and to write back:
// it is trimmed before the store first reads it.
void trimOversized(const QString& fileName) {
    const SettingsTrim trim = trimOversizedSettings(fileName.toLocal8Bit().toStdString());
    if (!trim.message.empty()) {
        std::fprintf(stderr, "%s\n", trim.message.c_str());
    }
}

} // namespace

QtSettingsStore::QtSettingsStore(const std::string& applicationKey)
    : m_settings(openUserSettings(applicationKey)) {}

std::unique_ptr<QSettings> QtSettingsStore::openUserSettings(const std::string& applicationKey) {
    const QString userFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
        text(kOrganisation) + QLatin1Char('/') + text(applicationKey) + QStringLiteral(".conf");
    struct stat info {};
    if (::stat(userFile.toLocal8Bit().constData(), &info) == 0 && !S_ISREG(info.st_mode) &&
        !S_ISDIR(info.st_mode)) {
        m_standIn = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_standIn->path());
        std::fprintf(stderr, "%s is no regular file: the settings of this run are not kept.\n",
                     userFile.toLocal8Bit().constData());
    } else {
        trimOversized(userFile);
    }
    return std::make_unique<QSettings>(text(kOrganisation), text(applicationKey));
}

std::unique_ptr<QtSettingsStore> QtSettingsStore::inFile(const std::string& path) {
    trimOversized(text(path));
    return std::unique_ptr<QtSettingsStore>(
        new QtSettingsStore(std::make_unique<QSettings>(text(path), QSettings::IniFormat)));
}

QtSettingsStore::~QtSettingsStore() {
    // The last puts reach the file however the program ends normally. A sync still queued goes
    // with m_settings, its context.
    sync();
}

std::int32_t QtSettingsStore::getInt(std::string_view section, std::string_view entry,
                                     std::int32_t fallback) {
    const QVariant value = m_settings->value(key(section, entry));
    bool ok = false;
    const int number = value.toInt(&ok);
    return value.isValid() && ok ? number : fallback;
}

bool QtSettingsStore::putInt(std::string_view section, std::string_view entry, std::int32_t value) {
    m_settings->setValue(key(section, entry), value);
    return changed();
}

std::string QtSettingsStore::getString(std::string_view section, std::string_view entry,
                                       std::string_view fallback) {
    const QVariant value = m_settings->value(key(section, entry));
    return value.isValid() ? value.toString().toStdString() : std::string{fallback};
}

bool QtSettingsStore::putString(std::string_view section, std::optional<std::string_view> entry,
                                std::optional<std::string_view> value) {
    if (!entry) {
        m_settings->remove(text(section));
    } else if (!value) {
        m_settings->remove(key(section, *entry));
    } else {
        m_settings->setValue(key(section, *entry), text(*value));
    }
    return changed();
}

bool QtSettingsStore::sync() {
    if (m_pending) {
        m_pending = false;
        ++m_syncs;
        keepPrivate(m_settings->fileName());
        m_settings->sync();
        keepPrivate(m_settings->fileName());
    }
    return m_settings->status() == QSettings::NoError;
}

bool QtSettingsStore::changed() {
    if (!m_pending) {
        m_pending = true;
        // Each sync writes the whole file and waits for the disk twice (its lock and the file):
        // one per turn however many settings a command writes. Queued on m_settings, so the
        // call is dropped if the store goes first.
        QMetaObject::invokeMethod(
            m_settings.get(), [this] { sync(); }, Qt::QueuedConnection);
    }
    return m_settings->status() == QSettings::NoError;
}

} // namespace tarvex::shell
