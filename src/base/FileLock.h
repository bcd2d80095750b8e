// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

// The lock file beside a file that several Tavimor processes rewrite ("registry.reg.lock"), in
// QLockFile's format: the file exists while held, names its holder (process id, program, host) and
// carries the holder's flock. A lock whose holder has ended is broken; a lock path holding anything
// but a plain file (a folder, a symbolic link) is refused with a message naming it, as we cannot
// tell who put it there. Unlike QLockFile it is never synced to disk: it only lives as long as its
// holder, and a sync per write costs more than the write.
class FileLock {
public:
    explicit FileLock(const QString& lockPath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // false with *error set when the lock cannot be had within timeoutMs.
    [[nodiscard]] bool tryLock(int timeoutMs, QString* error);
    QString path() const { return m_path; }

private:
    struct Holder {
        qint64 pid = 0;
        QString program;
        QString host;
    };
    // Creates the lock file; false with errno set when it could not be made or filled.
    bool create();
    // Whoever holds the lock file now; false when it could not be read.
    bool readHolder(Holder* holder) const;
    // Whether the lock file there now was left by a holder that has ended.
    bool isStale() const;

    QString m_path;
    int m_fd = -1;
};

} // namespace tavimor
