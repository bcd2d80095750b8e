// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsStore.h"

#include "IniFile.h"
#include "base/FileLock.h"
#include "base/FileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tavimor {

namespace {
// The store is a few hundred bytes; anything near this is not ours.
constexpr qint64 kMaxStoreSize = 1 << 20;
constexpr int kLockTimeoutMs = 3000;
} // namespace

SettingsStore::SettingsStore(const QString& folder)
    : m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                      QStringLiteral("/tavimor")
                                : folder) {
}

QString SettingsStore::fileName(const QString& appName) const {
    return m_folder + u'/' + appName + QStringLiteral(".ini");
}

std::optional<IniFile> SettingsStore::load(const QString& path) const {
    if (!QFileInfo::exists(path))
        return IniFile();
    // Read through the one reader that neither waits on a FIFO nor reads without end.
    QString why;
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxStoreSize, &why);
    if (!bytes) {
        m_lastError = QStringLiteral("The settings store %1 cannot be read: %2. Tavimor has not changed it; "
                                     "make it readable for this user, or move it away to start again with "
                                     "the default settings and an empty administrator password.")
                          .arg(path, why);
        return std::nullopt;
    }
    std::optional<IniFile> ini = IniFile::parse(*bytes, &why);
    if (!ini)
        m_lastError = QStringLiteral("The settings store %1 is damaged (%2). Tavimor has not changed it; "
                                     "correct that line, or move the file away to start again with the "
                                     "default settings and an empty administrator password.")
                          .arg(path, why);
    return ini;
}

std::optional<QString> SettingsStore::GetSetting(const QString& appName, const QString& section,
                                                 const QString& key, const QString& defaultText) const {
    const std::optional<IniFile> ini = load(fileName(appName));
    if (!ini)
        return std::nullopt;
    return ini->value(section, key).value_or(defaultText);
}

// QSettings would do, but on a full disk it replaces the store with an empty file and it reads a
// damaged store as empty; this write is ours so that neither can lose the password.
bool SettingsStore::SaveSetting(const QString& appName, const QString& section, const QString& key,
                                const QString& text) {
    const QString path = fileName(appName);
    const auto unwritable = [&](const QString& why) {
        m_lastError = QStringLiteral("The settings store %1 cannot be written: %2. It was left as it was; "
                                     "fix the cause and try again.")
                          .arg(path, why);
        return false;
    };
    if (!QDir().mkpath(m_folder))
        return unwritable(QStringLiteral("its folder %1 cannot be created").arg(m_folder));
    // Two programs saving at once must not each drop the other's setting.
    FileLock lock(path + QStringLiteral(".lock"));
    QString why;
    if (!lock.tryLock(kLockTimeoutMs, &why))
        return unwritable(why);
    // Refused before reading, so a link is named as such and not read as a damaged store.
    if (const QString refused = writeRefusal(path); !refused.isEmpty())
        return unwritable(refused);
    std::optional<IniFile> ini = load(path);
    if (!ini)
        return false;
    ini->setValue(section, key, text);
    // The file holds the enciphered administrator password: owner-only, whatever an older file had.
    if (!writeFileAtomically(path, ini->serialize(), &why, true))
        return unwritable(why);
    const std::optional<IniFile> back = load(path);
    if (!back)
        return false;
    if (back->value(section, key) != text)
        return unwritable(QStringLiteral("it reads back differently"));
    return true;
}

std::optional<QString> SettingsStore::read(const QString& key, const QString& defaultText) const {
    return GetSetting(QString::fromLatin1(kAppName), QString::fromLatin1(kSection), key, defaultText);
}

bool SettingsStore::save(const QString& key, const QString& text) {
    return SaveSetting(QString::fromLatin1(kAppName), QString::fromLatin1(kSection), key, text);
}

} // namespace tavimor
