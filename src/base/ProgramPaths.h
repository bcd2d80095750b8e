// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

// The folder whose files the program reads (tavimor.rds, Resources/, help/, tavimor.xsl): beside
// the executable in a build folder and on Windows, share/tavimor of an installed tree elsewhere.
QString programFolderFor(const QString& executableFolder);

// Where the program writes its own state (errors.log) on a desktop that keeps programs read-only:
// $XDG_STATE_HOME/tavimor, else ~/.local/state/tavimor; "" when neither is known.
QString stateFolderFrom(const QString& xdgStateHome, const QString& home);
QString stateFolder();

} // namespace tavimor
