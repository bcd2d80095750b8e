// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeIcons.h"

#include <QStringList>

// A static library's resources are linked only when something names them.
static void initExplorerResources() {
    Q_INIT_RESOURCE(explorer);
}

namespace tavimor {

QIcon treeIcon(int image) {
    static const QStringList names = {QStringLiteral("display"),   QStringLiteral("network"),
                                      QStringLiteral("printer"),   QStringLiteral("security"),
                                      QStringLiteral("startmenu"), QStringLiteral("system"),
                                      QStringLiteral("internet"),  QStringLiteral("root")};
    static const bool resources = (initExplorerResources(), true);
    Q_UNUSED(resources);
    const QString name = names[qBound(1, image, 8) - 1];
    QIcon icon;
    for (int size : {16, 32})
        icon.addFile(QStringLiteral(":/icons/tree-%1-%2.png").arg(name).arg(size), QSize(size, size));
    return icon;
}

} // namespace tavimor
