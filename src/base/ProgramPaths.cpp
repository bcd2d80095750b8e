// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramPaths.h"

#include "TavimorVersion.h"

#include <QDir>
#include <QFileInfo>

namespace tavimor {

QString programFolderFor(const QString& executableFolder) {
#ifndef Q_OS_WIN
    const QString installed =
        QDir::cleanPath(executableFolder + QLatin1Char('/') + QLatin1String(TAVIMOR_DATA_FROM_BIN));
    // The default settings file marks the folder: a build folder has none under share/.
    if (QFileInfo::exists(installed + QStringLiteral("/tavimor.rds")))
        return installed;
#endif
    return executableFolder;
}

QString stateFolderFrom(const QString& xdgStateHome, const QString& home) {
    // The base directory rules ignore a relative XDG path.
    if (!xdgStateHome.isEmpty() && QDir::isAbsolutePath(xdgStateHome))
        return QDir::cleanPath(xdgStateHome + QStringLiteral("/tavimor"));
    if (home.isEmpty())
        return QString();
    return QDir::cleanPath(home + QStringLiteral("/.local/state/tavimor"));
}

QString stateFolder() {
    return stateFolderFrom(qEnvironmentVariable("XDG_STATE_HOME"), QDir::homePath());
}

} // namespace tavimor
