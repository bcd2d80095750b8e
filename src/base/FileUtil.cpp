#include "FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tavimor {

bool writeFileAtomically(const QString& path, const QByteArray& content, QString* error, bool ownerOnly) {
    return writeFileAtomically(path, std::initializer_list<QByteArrayView>{content}, error, ownerOnly);
}

bool writeFileAtomically(const QString& path, std::initializer_list<QByteArrayView> pieces, QString* error,
                         bool ownerOnly) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("No file name was given."));
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (ownerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (const QByteArrayView piece : pieces) {
        if (file.write(piece.data(), piece.size()) != piece.size()) {
            const QString why = file.errorString();
            file.cancelWriting();
            return fail(why);
        }
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

std::optional<QByteArray> readWholeFile(const QString& path, qint64 maxSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (file.size() > maxSize)
        return std::nullopt;
    QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool fileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool isListedByPlainSearch(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.fileName().startsWith(QLatin1Char('.')))
        return false;
    QFile hidden(info.dir().filePath(QStringLiteral(".hidden")));
    if (!hidden.open(QIODevice::ReadOnly))
        return true;
    const QByteArray name = QFile::encodeName(info.fileName());
    // The list is small; a very large one is read only as far as it matters.
    const QList<QByteArray> lines = hidden.read(1 << 20).split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line == name)
            return false;
    }
    return true;
}

} // namespace tavimor
