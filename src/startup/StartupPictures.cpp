// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupPictures.h"

#include "gui/PngPicture.h"

// A static library's resources are linked only when something names them.
static void initStartupResources() {
    Q_INIT_RESOURCE(startup);
}

namespace tavimor {

QPixmap startupPicture(const QString& name) {
    static const bool resources = (initStartupResources(), true);
    Q_UNUSED(resources);
    return readPngPicture(QStringLiteral(":/startup/") + name);
}

QIcon startupIcon(const QString& name) {
    return QIcon(startupPicture(name));
}

} // namespace tavimor
