// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tavimor {

// The splash picture and the dialog icons kept with the program, by file name ("splash.png").
QPixmap startupPicture(const QString& name);
QIcon startupIcon(const QString& name);

} // namespace tavimor
