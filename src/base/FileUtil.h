// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <initializer_list>
#include <optional>

namespace tavimor {

// Writes the whole file or nothing: a crash or a full disk never leaves half a file. The data goes to
// a temporary file in the same folder, is synced and renamed over the old file, which keeps its mode,
// owner and group. A symbolic link, anything but a regular file, or a file its owner may not write
// (mode 0444) at path is refused, not followed or replaced.
// On failure the old file stays as it was, byte for byte, and error (if given) says why in the
// system's words.
[[nodiscard]] bool writeFileAtomically(const QString& path, const QByteArray& content,
                                       QString* error = nullptr, bool ownerOnly = false);
// The same for content given in pieces, so a large content need not be joined first.
[[nodiscard]] bool writeFileAtomically(const QString& path, std::initializer_list<QByteArrayView> pieces,
                                       QString* error = nullptr, bool ownerOnly = false);

// Why writeFileAtomically would refuse path before trying (a link, no regular file, a read-only file);
// "" when it would not.
QString writeRefusal(const QString& path);

// Opens file (its name set; open, it has none) for reading only when it is a regular file: a FIFO would block
// the program for good, a device could be endless, a folder has no content. On failure, error
// (if given) says why, in words for a user ("it is a FIFO, not a regular file").
[[nodiscard]] bool openRegularFile(QFile& file, QString* error = nullptr);

// The whole file, or nullopt when it cannot be read, is no regular file or is larger than
// maxSize; then error (if given) says why.
std::optional<QByteArray> readWholeFile(const QString& path, qint64 maxSize, QString* error = nullptr);

// "64 MiB", "4 KiB", "100 bytes": a size limit for a message.
QString sizeText(qint64 bytes);

// The system's words for an errno value.
QString systemError(int code);
// write() until all is out, going on after a signal; false with errno set on a failure.
[[nodiscard]] bool writeAll(int fd, QByteArrayView piece);

// A regular file exists at path.
bool fileExists(const QString& path);
// What a plain directory search lists: an existing file that is not hidden. Hidden means a
// name beginning with a dot or a name listed in its folder's ".hidden" file.
bool isListedByPlainSearch(const QString& path);

} // namespace tavimor
