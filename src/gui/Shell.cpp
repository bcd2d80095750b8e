// SPDX-License-Identifier: GPL-3.0-or-later
#include "Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace tavimor {

bool DesktopShell::open(const QString& fileOrUrl) {
    // A path that exists is a file; anything else (https:, mailto:) is taken as an address.
    const QUrl url = QFileInfo::exists(fileOrUrl)
                         ? QUrl::fromLocalFile(QFileInfo(fileOrUrl).absoluteFilePath())
                         : QUrl(fileOrUrl, QUrl::TolerantMode);
    return QDesktopServices::openUrl(url);
}

} // namespace tavimor
