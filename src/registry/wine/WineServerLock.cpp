// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineServerLock.h"

#include "base/FileUtil.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavimor {

namespace {

// wineserver insists on a folder of our own that nobody else may enter.
bool makePrivateFolder(const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("Cannot create %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        *error = QStringLiteral("%1 is not a folder of this user").arg(path);
        return false;
    }
    return true;
}

constexpr int kPeerWaitMs = 3000;

qint64 holder(int fd, const struct flock& wanted) {
    struct flock owner = wanted;
    return ::fcntl(fd, F_GETLK, &owner) == 0 && owner.l_type != F_UNLCK ? qint64(owner.l_pid) : 0;
}

// The program's name, "" when it cannot be had.
QString programOf(qint64 pid) {
    QFile name(QStringLiteral("/proc/%1/comm").arg(pid));
    return pid > 0 && name.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(name.readAll().trimmed())
                                                     : QString();
}

bool isWineserver(qint64 pid) {
    // Without /proc every holder counts as a server: the slow way through reg is the safe one.
    const QString program = programOf(pid);
    return program.isEmpty() || program.startsWith(QLatin1String("wineserver"));
}

// The name comes from a file in the prefix, which anyone who can write there may have put in;
// ".." or a separator would take the folders we make (as root, perhaps) out of the base folder.
bool isPlainFolderName(const QString& name) {
    return name != QLatin1String(".") && name != QLatin1String("..") && name.size() <= 255 &&
           std::none_of(name.begin(), name.end(), [](QChar c) {
               return c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20;
           });
}

} // namespace

WineServerLock::WineServerLock(const QString& prefix)
    : m_prefix(prefix) {
}

WineServerLock::~WineServerLock() {
    release();
}

QStringList WineServerLock::serverFolders(QString* error) const {
    struct stat info {};
    if (::stat(QFile::encodeName(m_prefix).constData(), &info) != 0) {
        if (error)
            *error = QStringLiteral("Cannot read the Wine prefix %1").arg(m_prefix);
        return {};
    }
    const QString server =
        QStringLiteral("server-%1-%2").arg(quint64(info.st_dev), 0, 16).arg(quint64(info.st_ino), 0, 16);
    const uint uid = ::getuid();
    QStringList folders;
    const QString tmp = m_base.isEmpty() ? QStringLiteral("/tmp") : m_base;
    folders.append(QStringLiteral("%1/.wine-%2/%3").arg(tmp).arg(uid).arg(server));

    const QString pointerPath = m_prefix + QStringLiteral("/wineserver");
    QFile pointer(pointerPath);
    if (openRegularFile(pointer)) {
        const QString name = QString::fromLocal8Bit(pointer.read(4096).trimmed());
        if (!name.isEmpty() && !isPlainFolderName(name)) {
            if (error)
                *error =
                    QStringLiteral("%1 names the server folder \"%2\", which is not a plain folder name; "
                                   "remove the file or correct it")
                        .arg(pointerPath, name);
            return {};
        }
        if (!name.isEmpty()) {
            QStringList bases;
            if (m_base.isEmpty()) {
                const QString runtime = QStringLiteral("/run/user/%1").arg(uid);
                if (QFileInfo::exists(runtime))
                    bases.append(runtime);
                const QString tmpdir = qEnvironmentVariable("TMPDIR");
                if (!tmpdir.isEmpty())
                    bases.append(tmpdir);
            }
            bases.append(tmp);
            bases.removeDuplicates();
            // The first folder is where Debian's server would make it; the others only where they exist.
            for (qsizetype i = 0; i < bases.size(); ++i) {
                const QString folder = bases[i] + QLatin1Char('/') + name + QLatin1Char('/') + server;
                if (i == 0 || QFileInfo::exists(folder))
                    folders.append(folder);
            }
        }
    }
    return folders;
}

WineServerLock::Result WineServerLock::acquire(QString* error) {
    release();
    const QStringList folders = serverFolders(error);
    if (folders.isEmpty())
        return Result::Failed;
    for (const QString& folder : folders) {
        // wineserver makes the folder's parent and the folder itself, each private.
        if (!makePrivateFolder(QFileInfo(folder).path(), error) || !makePrivateFolder(folder, error)) {
            release();
            return Result::Failed;
        }
        const QString lockPath = folder + QStringLiteral("/lock");
        const int fd = ::open(QFile::encodeName(lockPath).constData(),
                              O_CREAT | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            *error =
                QStringLiteral("Cannot open %1: %2").arg(lockPath, QString::fromLocal8Bit(strerror(errno)));
            release();
            return Result::Failed;
        }
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0;
        lock.l_len = 1;
        // Another Tavimor holds the lock for milliseconds only; a wineserver for as long as it runs.
        QDeadlineTimer patience(kPeerWaitMs);
        int status = ::fcntl(fd, F_SETLK, &lock);
        while (status != 0 && (errno == EACCES || errno == EAGAIN) && !isWineserver(holder(fd, lock)) &&
               !patience.hasExpired()) {
            QThread::msleep(10);
            status = ::fcntl(fd, F_SETLK, &lock);
        }
        if (status != 0) {
            const int why = errno;
            m_serverPid = holder(fd, lock);
            ::close(fd);
            release();
            // Another program of ours that keeps the lock is no server: reg would wait on it too.
            if ((why == EACCES || why == EAGAIN) && !isWineserver(m_serverPid)) {
                *error =
                    QStringLiteral("%1 is locked by another program (%2, process %3) for more than three "
                                   "seconds; try again when it has ended.")
                        .arg(lockPath, programOf(m_serverPid))
                        .arg(m_serverPid);
                return Result::Failed;
            }
            if (why == EACCES || why == EAGAIN)
                return Result::ServerRunning;
            *error =
                QStringLiteral("Cannot lock %1: %2").arg(lockPath, QString::fromLocal8Bit(strerror(why)));
            return Result::Failed;
        }
        m_fds.append(fd);
    }
    return Result::Held;
}

void WineServerLock::release() {
    // Closing the descriptor ends the lock; the file stays, as wineserver expects to find it.
    for (const int fd : std::as_const(m_fds))
        ::close(fd);
    m_fds.clear();
}

WineServerLock::Result WineServerLock::probe(QString* error) {
    const Result result = acquire(error);
    release();
    return result;
}

} // namespace tavimor
