// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyFolder.h"

#include "base/FileUtil.h"

#include <QDir>
#include <QFileInfo>

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

bool PolicyFolder::read(std::array<PolFile, 2>& files, QString* error) const {
    for (const PolScope scope : kPolScopes) {
        const QString path = filePath(scope);
        PolFile& file = files[polIndex(scope)];
        file = {};
        if (!QFileInfo::exists(path))
            continue;
        QString why;
        const std::optional<QByteArray> bytes = readWholeFile(path, kMaxPolFileSize, &why);
        if (!bytes)
            why = QStringLiteral("cannot be read: ") + why;
        std::optional<PolFile> parsed = bytes ? PolFile::parse(*bytes, &why) : std::nullopt;
        if (!parsed) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
            return false;
        }
        file = std::move(*parsed);
    }
    return true;
}

bool PolicyFolder::write(PolScope scope, const QByteArray& bytes, QString* error) const {
    const QString path = filePath(scope);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot make the folder %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QString why;
    if (writeFileAtomically(path, bytes, &why))
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: %2").arg(path, why);
    return false;
}

} // namespace tavimor
