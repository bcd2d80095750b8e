// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileLock.h"

#include "base/FileUtil.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavimor {

namespace {

// A holder that still runs after this long is taken for a process that reused a dead holder's id.
constexpr qint64 kStaleSeconds = 60;

} // namespace

FileLock::FileLock(const QString& lockPath)
    : m_path(lockPath) {
}

FileLock::~FileLock() {
    if (m_fd < 0)
        return;
    // Removed while its flock is still held, so no one takes it for stale in between.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
}

bool FileLock::create() {
    const QByteArray path = QFile::encodeName(m_path);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const QByteArray holder = QByteArray::number(qint64(::getpid())) + '\n' + program_invocation_short_name +
                              '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
    // A full disk lets the file be made but not filled.
    if (!writeAll(fd, holder)) {
        const int error = errno ? errno : ENOSPC;
        ::unlink(path.constData());
        ::close(fd);
        errno = error;
        return false;
    }
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_fd = fd;
    return true;
}

bool FileLock::readHolder(Holder* holder) const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.read(4096).split('\n');
    bool isNumber = false;
    holder->pid = lines.value(0).toLongLong(&isNumber);
    if (!isNumber || holder->pid <= 0 || lines.size() < 3)
        return false;
    holder->program = QString::fromUtf8(lines.value(1));
    holder->host = QString::fromUtf8(lines.value(2));
    return true;
}

bool FileLock::isStale() const {
    const QByteArray path = QFile::encodeName(m_path);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    // A holder keeps its flock for as long as it runs.
    bool stale = false;
    struct stat held {};
    struct stat now {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0) {
        Holder holder;
        const bool named = readHolder(&holder);
        const bool sameHost = named && holder.host == QSysInfo::machineHostName();
        const bool ended = sameHost && ::kill(pid_t(holder.pid), 0) != 0 && errno == ESRCH;
        // A file not yet filled, or a holder on another machine, is given time before it is broken.
        const bool left = ended || std::time(nullptr) - held.st_mtime > kStaleSeconds;
        // Whoever broke it first may have made a new one there meanwhile: that one stays.
        const bool same =
            ::stat(path.constData(), &now) == 0 && now.st_ino == held.st_ino && now.st_dev == held.st_dev;
        // Broken only if it could be removed: a folder that takes no changes would make this loop.
        stale = left && (!same || ::unlink(path.constData()) == 0);
    }
    ::close(fd);
    return stale;
}

bool FileLock::tryLock(int timeoutMs, QString* error) {
    struct stat info {};
    if (::lstat(QFile::encodeName(m_path).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        const char* what = S_ISLNK(info.st_mode)   ? "a symbolic link"
                           : S_ISDIR(info.st_mode) ? "a folder"
                                                   : "no file";
        *error = QStringLiteral("The lock %1 is %2, not a lock file; remove it once no Tavimor program runs.")
                     .arg(m_path, QLatin1String(what));
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    int pauseMs = 5;
    for (;;) {
        if (create())
            return true;
        if (errno != EEXIST) {
            *error = QStringLiteral("Cannot create the lock file %1: %2").arg(m_path, systemError(errno));
            return false;
        }
        if (isStale())
            continue;
        if (deadline.hasExpired())
            break;
        QThread::msleep(ulong(qMin<qint64>(pauseMs, qMax<qint64>(1, deadline.remainingTime()))));
        pauseMs = qMin(pauseMs * 2, 100);
    }
    Holder holder;
    if (readHolder(&holder))
        *error =
            QStringLiteral("%1 is locked by another program (%2, process %3); try again when it has ended.")
                .arg(m_path, holder.program)
                .arg(holder.pid);
    else
        *error = QStringLiteral("%1 is locked by another program; try again when it has ended, or remove it "
                                "once no Tavimor program runs.")
                     .arg(m_path);
    return false;
}

} // namespace tavimor
