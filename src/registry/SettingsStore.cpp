#include "SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>

namespace tavimor {

namespace {

struct FileStamp {
    qint64 size = 0;
    QDateTime modified;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path) {
    const QFileInfo info(path);
    return {info.size(), info.lastModified()};
}

// Qt parses an unchanged file only once per process and tells only that first reader about a
// FormatError, so the verdict is kept for as long as the file stays as it was.
class DamagedFiles {
public:
    bool isDamaged(const QSettings& settings, const QString& path) {
        const QMutexLocker locker(&m_mutex);
        if (settings.status() == QSettings::FormatError) {
            m_stamps.insert(path, stampOf(path));
            return true;
        }
        const auto it = m_stamps.constFind(path);
        if (it == m_stamps.cend())
            return false;
        if (*it == stampOf(path))
            return true;
        m_stamps.erase(it);
        return false;
    }

    void forget(const QString& path) {
        const QMutexLocker locker(&m_mutex);
        m_stamps.remove(path);
    }

private:
    QMutex m_mutex;
    QHash<QString, FileStamp> m_stamps;
};

DamagedFiles& damagedFiles() {
    static DamagedFiles files;
    return files;
}

} // namespace

SettingsStore::SettingsStore(const QString& folder)
    : m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                      QStringLiteral("/tavimor")
                                : folder) {
}

QString SettingsStore::fileName(const QString& appName) const {
    return m_folder + u'/' + appName + QStringLiteral(".ini");
}

QString SettingsStore::GetSetting(const QString& appName, const QString& section, const QString& key,
                                  const QString& defaultText) const {
    // QSettings writes only on sync or destruction, and nothing is changed here, so no file appears.
    const QString path = fileName(appName);
    const QSettings settings(path, QSettings::IniFormat);
    if (damagedFiles().isDamaged(settings, path))
        return defaultText;
    return settings.value(section + u'/' + key, defaultText).toString();
}

bool SettingsStore::SaveSetting(const QString& appName, const QString& section, const QString& key,
                                const QString& text) {
    if (!QDir().mkpath(m_folder))
        return false;
    const QString path = fileName(appName);
    {
        // A damaged file reads as empty, so saving starts afresh rather than keep Qt's guesses.
        const QSettings existing(path, QSettings::IniFormat);
        if (damagedFiles().isDamaged(existing, path)) {
            if (!QFile::remove(path))
                return false;
            damagedFiles().forget(path);
        }
    }
    // Created owner-only before the first write; QSettings' atomic save keeps an existing file's mode.
    if (QFile file(path); !file.exists())
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner);
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(section + u'/' + key, text);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return false;
    }
    // The file holds the enciphered administrator password; an older file may be wider open.
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

QString SettingsStore::read(const QString& key, const QString& defaultText) const {
    return GetSetting(QString::fromLatin1(kAppName), QString::fromLatin1(kSection), key, defaultText);
}

bool SettingsStore::save(const QString& key, const QString& text) {
    return SaveSetting(QString::fromLatin1(kAppName), QString::fromLatin1(kSection), key, text);
}

} // namespace tavimor
