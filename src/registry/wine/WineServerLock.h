// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tavimor {

// The lock a wineserver holds on its prefix for as long as it runs: a write lock on the first
// byte of "lock" in the server folder named after the prefix's device and inode. Upstream Wine
// keeps that folder in /tmp/.wine-UID; Debian's Wine in a private folder whose name the prefix's
// "wineserver" file gives, under the runtime or temporary folder. Taking the lock ourselves tells
// whether a server runs and, while held, makes a starting server give up and its client retry.
// Another program of ours holding it is waited for, up to three seconds.
class WineServerLock {
public:
    enum class Result { Held, ServerRunning, Failed };

    explicit WineServerLock(const QString& prefix);
    ~WineServerLock();
    WineServerLock(const WineServerLock&) = delete;
    WineServerLock& operator=(const WineServerLock&) = delete;

    // Holds the lock in every server folder the prefix may have, creating them as wineserver would.
    Result acquire(QString* error);
    void release();
    // Takes the lock and lets it go at once.
    Result probe(QString* error);
    // The process id of the server holding the lock, after acquire gave ServerRunning.
    qint64 serverPid() const { return m_serverPid; }

    // The server folders to lock, existing or not; none when the prefix cannot be read or its
    // "wineserver" file names no plain folder, and then *error (when given) says why.
    QStringList serverFolders(QString* error = nullptr) const;
    // Replaces /tmp, $TMPDIR and /run/user/UID, so that tests do not touch the real ones.
    void setTemporaryBase(const QString& folder) { m_base = folder; }

private:
    QString m_prefix;
    QString m_base;
    QList<int> m_fds;
    qint64 m_serverPid = 0;
};

} // namespace tavimor
