// SPDX-License-Identifier: GPL-3.0-or-later
#include "TargetFactory.h"

#include "GpoBackend.h"
#include "LocalPolicyBackend.h"
#include "PolicyFolderBackend.h"
#include "registry/TargetText.h"
#include "registry/hive/HiveFiles.h"

#include <QFileInfo>
#include <QUrl>

namespace tavimor {

namespace {

std::unique_ptr<RegistryBackend> openGpo(const QString& target, QString* error) {
    const QString usage = QStringLiteral("The target \"gpo:\" is gpo:SYSVOL?gpo=NAME|GUID[&url=URL].");
    const qsizetype query = target.indexOf(QLatin1Char('?'));
    const QString sysvol = gpoSysvol(target);
    QString gpo;
    QString url;
    for (const QString& pair : target.mid(query + 1).split(QLatin1Char('&'))) {
        const QString value = QUrl::fromPercentEncoding(pair.section(QLatin1Char('='), 1).toUtf8());
        if (pair.startsWith(QLatin1String("gpo=")))
            gpo = value;
        else if (pair.startsWith(QLatin1String("url=")))
            url = value;
        else {
            *error = usage;
            return nullptr;
        }
    }
    if (query < 0 || sysvol.isEmpty() || gpo.isEmpty()) {
        *error = usage;
        return nullptr;
    }
    return GpoBackend::open(QFileInfo(sysvol).absoluteFilePath(), gpo, url, target, error);
}

// Windows/System32/GroupPolicy of the installation a windows: target names; "" when it has none.
QString localPolicyFolder(const QString& target) {
    QString path = target.mid(8);
    if (const qsizetype query = path.lastIndexOf(QLatin1String("?user=")); query >= 0)
        path.truncate(query);
    path = QFileInfo(path).absoluteFilePath();
    for (const char* part : {"Windows", "System32", "GroupPolicy"}) {
        path = findEntryIgnoringCase(path, QLatin1String(part));
        if (path.isEmpty())
            return QString();
    }
    return QFileInfo(path).isDir() ? path : QString();
}

} // namespace

std::unique_ptr<RegistryBackend> openTarget(const QString& target, QString* error, TargetUse use) {
    QString why;
    std::unique_ptr<RegistryBackend> backend;
    if (target.startsWith(QLatin1String("pol:"))) {
        if (target.size() == 4)
            why = QStringLiteral(
                "The target \"pol:\" needs the folder that holds User/ and Machine/Registry.pol.");
        else
            backend = PolicyFolderBackend::open(target.mid(4), target, use == TargetUse::MustExist, &why);
    } else if (target.startsWith(QLatin1String("gpo:"))) {
        backend = openGpo(target, &why);
    } else {
        backend = openRegistryTarget(target, &why, use);
        if (const QString folder =
                target.startsWith(QLatin1String("windows:")) ? localPolicyFolder(target) : QString();
            backend && !folder.isEmpty())
            backend = std::make_unique<LocalPolicyBackend>(std::move(backend), folder);
    }
    if (!backend && error)
        *error = why;
    return backend;
}

} // namespace tavimor
