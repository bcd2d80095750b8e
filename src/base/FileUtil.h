#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <initializer_list>
#include <optional>

namespace tavimor {

// Writes the whole file or nothing: a crash or a full disk never leaves half a file.
// On failure the old file stays as it was and error (if given) says why.
[[nodiscard]] bool writeFileAtomically(const QString& path, const QByteArray& content,
                                       QString* error = nullptr, bool ownerOnly = false);
// The same for content given in pieces, so a large content need not be joined first.
[[nodiscard]] bool writeFileAtomically(const QString& path, std::initializer_list<QByteArrayView> pieces,
                                       QString* error = nullptr, bool ownerOnly = false);

// The whole file, or nullopt when it cannot be read or is larger than maxSize.
std::optional<QByteArray> readWholeFile(const QString& path, qint64 maxSize);

// A regular file exists at path.
bool fileExists(const QString& path);
// What a plain directory search lists: an existing file that is not hidden. Hidden means a
// name beginning with a dot or a name listed in its folder's ".hidden" file.
bool isListedByPlainSearch(const QString& path);

} // namespace tavimor
