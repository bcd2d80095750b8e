// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeIcons.h"

#include "gui/PngPicture.h"

#include <QCoreApplication>
#include <QList>

// A static library's resources are linked only when something names them.
static void initExplorerResources() {
    Q_INIT_RESOURCE(explorer);
}

namespace tavimor {

QIcon treeIcon(int image) {
    // Made once: the tree is built again at every load, and reading an icon file is dear. They go
    // with the application, before which no pixmap may be destroyed.
    static QList<QIcon> icons;
    if (icons.isEmpty()) {
        static const bool resources = (initExplorerResources(), true);
        Q_UNUSED(resources);
        for (const char* name :
             {"display", "network", "printer", "security", "startmenu", "system", "internet", "root"}) {
            QIcon icon;
            for (int size : {16, 32})
                icon.addPixmap(readPngPicture(
                    QStringLiteral(":/icons/tree-%1-%2.png").arg(QLatin1String(name)).arg(size)));
            icons.append(icon);
        }
        qAddPostRoutine([] { icons.clear(); });
    }
    return icons[qBound(1, image, 8) - 1];
}

} // namespace tavimor
