#include "FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

} // namespace

bool openRegularFile(QFile& file, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    // Not blocking in open() is what keeps a FIFO without a writer from hanging here.
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const QString why = QStringLiteral("it is %1, not a regular file").arg(kindOf(info.st_mode));
        ::close(fd);
        return fail(why);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

std::optional<QByteArray> readWholeFile(const QString& path, qint64 maxSize, QString* error) {
    const auto fail = [error](const QString& why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QFile file(path);
    QString why;
    if (!openRegularFile(file, &why))
        return fail(why);
    const QString tooLarge = QStringLiteral("it is larger than %1").arg(sizeText(maxSize));
    if (file.size() > maxSize)
        return fail(tooLarge);
    QByteArray bytes = file.read(maxSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (bytes.size() > maxSize)
        return fail(tooLarge);
    return bytes;
}

QString sizeText(qint64 bytes) {
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
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
    if (!openRegularFile(hidden))
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
