// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>

namespace tavimor {

// Reads one of the program's own PNG pictures with Qt's built-in reader. A reader left to guess
// the format first loads every image plugin to ask whether it reads PNG (GIF, ICO and JPEG, with
// their libraries), a cost the start of each window would pay for pictures that are all PNG.
QPixmap readPngPicture(const QString& path);

} // namespace tavimor
