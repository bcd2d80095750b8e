// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

namespace tavimor {

// The lock file beside a file that several Tavimor processes rewrite ("registry.reg.lock"). A lock
// left by a process that has ended is broken; a lock path holding anything but a plain file (a
// folder, a symbolic link) is refused with a message naming it, as we cannot tell who put it there.
class FileLock {
public:
    explicit FileLock(const QString& lockPath);

    // false with *error set when the lock cannot be had within timeoutMs.
    [[nodiscard]] bool tryLock(int timeoutMs, QString* error);
    QString path() const { return m_path; }

private:
    QString folderRefusal() const;

    QString m_path;
    QLockFile m_lock;
};

} // namespace tavimor
