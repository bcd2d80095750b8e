// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileLock.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tavimor {

FileLock::FileLock(const QString& lockPath)
    : m_path(lockPath)
    , m_lock(lockPath) {
    // Our locks last milliseconds; the age limit only guards against a reused process id.
    m_lock.setStaleLockTime(60000);
}

// QLockFile keeps no reason of its own; the folder's answer is the system's.
QString FileLock::folderRefusal() const {
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    if (::access(folder.constData(), W_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    // QLockFile removes a lock file it could not fill; a full disk is the usual cause.
    struct statvfs disk {};
    if (::statvfs(folder.constData(), &disk) == 0 && disk.f_bavail == 0)
        return QString::fromLocal8Bit(std::strerror(ENOSPC));
    return m_lock.error() == QLockFile::PermissionError ? QStringLiteral("Permission denied")
                                                        : QStringLiteral("the system refused it");
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
    if (m_lock.tryLock(timeoutMs))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock.error() == QLockFile::LockFailedError && m_lock.getLockInfo(&pid, &host, &application))
        *error =
            QStringLiteral("%1 is locked by another program (%2, process %3); try again when it has ended.")
                .arg(m_path, application)
                .arg(pid);
    else if (m_lock.error() == QLockFile::LockFailedError)
        *error = QStringLiteral("%1 is locked by another program; try again when it has ended, or remove it "
                                "once no Tavimor program runs.")
                     .arg(m_path);
    else
        *error = QStringLiteral("Cannot create the lock file %1: %2").arg(m_path, folderRefusal());
    return false;
}

} // namespace tavimor
