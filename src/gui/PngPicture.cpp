// SPDX-License-Identifier: GPL-3.0-or-later
#include "PngPicture.h"

#include <QImageReader>

namespace tavimor {

QPixmap readPngPicture(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace tavimor
