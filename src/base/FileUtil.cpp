// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavimor {

namespace {

mode_t currentUmask() {
    // umask can only be read by setting it; the program's mask is set once at start and not changed.
    static const mode_t mask = [] {
        const mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return mask;
}

// The rename is on disk only once the folder is; a failure here loses nothing already written.
void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

bool writeAll(int fd, QByteArrayView piece) {
    const char* data = piece.data();
    qsizetype left = piece.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

QString writeRefusal(const QString& path) {
    struct stat old {};
    if (::lstat(QFile::encodeName(path).constData(), &old) != 0)
        return errno == ENOENT ? QString() : systemError(errno);
    // A link may point anywhere, another user's file or a program; we neither write through it nor
    // silently replace a link someone made on purpose.
    if (S_ISLNK(old.st_mode))
        return QStringLiteral("it is a symbolic link, and Tavimor does not write through links; "
                              "put the file itself in its place");
    if (!S_ISREG(old.st_mode))
        return QStringLiteral("it is not a regular file");
    // Root could rename over it, but a file its owner made read-only is meant to stay as it is.
    if ((old.st_mode & S_IWUSR) == 0)
        return QStringLiteral("it is read-only");
    return QString();
}

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
    if (const QString refused = writeRefusal(path); !refused.isEmpty())
        return fail(refused);
    const QByteArray target = QFile::encodeName(path);
    struct stat old {};
    const bool exists = ::lstat(target.constData(), &old) == 0;

    const QFileInfo info(path);
    QByteArray temporary =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(systemError(errno));
    const auto abandon = [&](int code) {
        ::close(fd);
        ::unlink(temporary.constData());
        return fail(systemError(code));
    };
    // The new file keeps the old one's mode and owners; root rewriting a user's file leaves it theirs.
    const mode_t mode = ownerOnly ? 0600 : exists ? old.st_mode & 07777 : 0666 & ~currentUmask();
    if (exists) {
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(fd, old.st_uid, old.st_gid) != 0 && ::geteuid() == 0)
            return abandon(errno);
    }
    if (::fchmod(fd, mode) != 0)
        return abandon(errno);
    for (const QByteArrayView piece : pieces) {
        if (!writeAll(fd, piece))
            return abandon(errno);
    }
    if (::fsync(fd) != 0)
        return abandon(errno);
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(systemError(code));
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(systemError(code));
    }
    syncFolder(info.absolutePath());
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
    // Sized by what the file holds, not by the limit: a read of the limit allocates all of it.
    const qint64 measured = std::min(maxSize, file.size());
    QByteArray bytes = file.read(measured + 1);
    if (bytes.size() > measured && file.error() == QFileDevice::NoError)
        bytes += file.read(maxSize + 1 - bytes.size()); // it grew since it was measured
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
