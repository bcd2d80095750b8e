// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyFolder.h"

#include "base/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace tavimor {

namespace {

constexpr qint64 kMaxPolFileSize = 64 * 1024 * 1024;

// The entry of folder named name in any case; name itself when there is none.
QString childNamed(const QString& folder, const QString& name) {
    const QStringList found = QDir(folder).entryList({name}, QDir::AllEntries | QDir::Hidden |
                                                                 QDir::NoDotAndDotDot | QDir::CaseSensitive);
    if (!found.isEmpty())
        return found.first();
    const QStringList all = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& entry : all)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return name;
}

} // namespace

std::optional<FileStamp> fileStamp(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileStamp{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                     qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

QString replaceRefusal(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QString();
    if (const QString refused = writeRefusal(path); !refused.isEmpty())
        return QStringLiteral("%1: %2").arg(path, refused);
    // Root may write anything; a file someone made read-only is still left as it is.
    if (!(info.permissions() & QFile::WriteOwner))
        return QStringLiteral("%1: it is read-only").arg(path);
    return QString();
}

QString hiveName(PolScope scope) {
    return scope == PolScope::User ? QStringLiteral("HKEY_CURRENT_USER")
                                   : QStringLiteral("HKEY_LOCAL_MACHINE");
}

std::optional<PolScope> scopeOfHive(const QString& hive) {
    if (hive == QLatin1String("HKEY_CURRENT_USER"))
        return PolScope::User;
    if (hive == QLatin1String("HKEY_LOCAL_MACHINE"))
        return PolScope::Machine;
    return std::nullopt;
}

QString PolicyFolder::filePath(PolScope scope) const {
    const QString sub =
        m_folder + QLatin1Char('/') +
        childNamed(m_folder, scope == PolScope::User ? QStringLiteral("User") : QStringLiteral("Machine"));
    return sub + QLatin1Char('/') + childNamed(sub, QStringLiteral("Registry.pol"));
}

std::optional<QByteArray> PolicyFolder::currentBytes(PolScope scope) const {
    const QString path = filePath(scope);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return readWholeFile(path, kMaxPolFileSize);
}

std::optional<PolFile> PolicyFolder::readFile(PolScope scope, QString* error) const {
    const QString path = filePath(scope);
    if (!QFileInfo::exists(path))
        return PolFile();
    QString why;
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxPolFileSize, &why);
    if (!bytes)
        why = QStringLiteral("cannot be read: ") + why;
    std::optional<PolFile> parsed = bytes ? PolFile::parse(*bytes, &why) : std::nullopt;
    if (!parsed && error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
    return parsed;
}

bool PolicyFolder::read(std::array<PolFile, 2>& files, QString* error) const {
    for (const PolScope scope : kPolScopes) {
        std::optional<PolFile> file = readFile(scope, error);
        if (!file)
            return false;
        files[polIndex(scope)] = std::move(*file);
    }
    return true;
}

QString PolicyFolder::fileRefusal(PolScope scope) const {
    const QString path = filePath(scope);
    const QFileInfo sub(QFileInfo(path).absolutePath());
    if (sub.isSymLink())
        return QStringLiteral("%1 is a symbolic link, which Tavimor does not follow").arg(sub.filePath());
    if (sub.exists() && !sub.isDir())
        return QStringLiteral("%1 is not a folder").arg(sub.filePath());
    return replaceRefusal(path);
}

QString PolicyFolder::gptIniPath() const {
    const QString name = childNamed(m_folder, QStringLiteral("GPT.INI"));
    const QString path = m_folder + QLatin1Char('/') + name;
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink() ? path : QString();
}

} // namespace tavimor
