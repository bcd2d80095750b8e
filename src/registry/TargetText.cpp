// SPDX-License-Identifier: GPL-3.0-or-later
#include "TargetText.h"

#include "RegistryTarget.h"
#include "registry/wine/WinePrefixBackend.h"

#include <QFileInfo>

namespace tavimor {

namespace {

const QString kHome = QStringLiteral("~");

} // namespace

QString mapTargetPaths(const QString& target, const std::function<QString(const QString&)>& map) {
    const qsizetype colon = target.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return target;
    const QString kind = target.left(colon + 1);
    const QString rest = target.mid(colon + 1);
    if (kind == QLatin1String("hive:")) {
        QStringList paths = rest.split(QLatin1Char(','));
        for (QString& path : paths)
            if (!path.isEmpty())
                path = map(path);
        return kind + paths.join(QLatin1Char(','));
    }
    if (kind == QLatin1String("windows:") || kind == QLatin1String("gpo:")) {
        qsizetype query = kind == QLatin1String("gpo:") ? rest.indexOf(QLatin1Char('?'))
                                                        : rest.lastIndexOf(QLatin1String("?user="));
        if (query < 0)
            query = rest.size();
        const QString folder = rest.left(query);
        return kind + (folder.isEmpty() ? folder : map(folder)) + rest.mid(query);
    }
    if (kind == QLatin1String("file:") || kind == QLatin1String("wine:") || kind == QLatin1String("win9x:") ||
        kind == QLatin1String("pol:"))
        return rest.isEmpty() ? target : kind + map(rest);
    return target;
}

QString gpoSysvol(const QString& target) {
    if (!target.startsWith(QLatin1String("gpo:")))
        return QString();
    const qsizetype query = target.indexOf(QLatin1Char('?'));
    return target.mid(4, query < 0 ? -1 : query - 4);
}

QString canonicalTarget(const QString& target) {
    QString text = target;
    if (text == QLatin1String("wine:"))
        text += WinePrefixBackend::defaultPrefix();
    text = mapTargetPaths(text, [](const QString& path) { return QFileInfo(path).absoluteFilePath(); });
    if (text.startsWith(QLatin1String("file:")) && text.mid(5) == defaultRegistryFile())
        return QString();
    return text;
}

QString displayPath(const QString& path, const QString& home) {
    if (home.isEmpty() || home == QLatin1String("/"))
        return path;
    if (path == home)
        return kHome;
    if (path.startsWith(home + QLatin1Char('/')))
        return kHome + path.mid(home.size());
    return path;
}

QString displayTarget(const QString& target, const QString& home) {
    return mapTargetPaths(target, [&home](const QString& path) { return displayPath(path, home); });
}

QString expandTarget(const QString& text, const QString& home) {
    return mapTargetPaths(text.trimmed(), [&home](const QString& path) -> QString {
        if (path == kHome)
            return home;
        if (path.startsWith(QLatin1String("~/")))
            return home + path.mid(1);
        return path;
    });
}

QString targetCaption(const QString& appTitle, const QString& target, const QString& home) {
    return target.isEmpty() ? appTitle : appTitle + QStringLiteral(" - ") + displayTarget(target, home);
}

} // namespace tavimor
