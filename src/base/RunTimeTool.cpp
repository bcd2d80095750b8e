// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunTimeTool.h"

#include <QStandardPaths>

namespace tavimor {

QString toolNeeded(const QString& neededBy, const QString& program, const QString& package) {
    return QStringLiteral("%1 needs %2 from the package %3").arg(neededBy, program, package);
}

QString findTool(const QString& neededBy, const QString& program, const QString& package, QString* problem) {
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty() && problem)
        *problem = toolNeeded(neededBy, program, package);
    return found;
}

} // namespace tavimor
