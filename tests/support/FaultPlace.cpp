// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tavimor::test {

FaultPlace::FaultPlace(int sizeKiB) {
    m_mount = m_dir.filePath(u"place"_s);
    QDir().mkpath(m_mount);
    if (::geteuid() != 0) {
        m_skipReason = u"mounting a small tmpfs needs root"_s;
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(sizeKiB) + "k,mode=0755";
    if (::mount("tmpfs", QFile::encodeName(m_mount).constData(), "tmpfs", 0, options.constData()) != 0) {
        m_skipReason = u"mount -t tmpfs was refused: %1"_s.arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

FaultPlace::~FaultPlace() {
    if (m_mounted)
        ::umount2(QFile::encodeName(m_mount).constData(), MNT_DETACH);
}

bool FaultPlace::fill() {
    QFile filler(filePath(u"filler"_s));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // Leftover room smaller than a block is taken byte by byte.
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
    return true;
}

bool FaultPlace::makeReadOnly() {
    return m_mounted && ::mount(nullptr, QFile::encodeName(m_mount).constData(), nullptr,
                                MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

FileFacts factsOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return FileFacts{mode_t(-1), uid_t(-1), gid_t(-1), false};
    return FileFacts{info.st_mode & 07777, info.st_uid, info.st_gid, S_ISLNK(info.st_mode)};
}

std::tuple<quint64, qint64, qint64, qint64> fileIdentity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

QStringList folderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

ToolRun runTool(const QString& program, const QStringList& arguments, const QByteArray& input) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromUtf8(process.readAll())};
}

LockHolder::LockHolder(const QString& lockPath) {
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        QLockFile lock(lockPath);
        const char ok = lock.tryLock(0) ? 1 : 0;
        [[maybe_unused]] const ssize_t sent = ::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    m_held = m_pid > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
    ::close(ready[1]);
}

LockHolder::~LockHolder() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

} // namespace tavimor::test
