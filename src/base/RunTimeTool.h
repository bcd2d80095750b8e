// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

// The programs started at run time are recommended by the package, not required, so a missing one is
// named with what needs it and where it comes from.
QString toolNeeded(const QString& neededBy, const QString& program, const QString& package);

// The full path of program on PATH; "" with *problem = toolNeeded(...) when it is not there.
QString findTool(const QString& neededBy, const QString& program, const QString& package, QString* problem);

} // namespace tavimor
