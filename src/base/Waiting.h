// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class QProcess;

namespace tavimor {

// Told about long waits of the core (another program running), so that a window can keep its
// event loop alive, show that work goes on and let the user cancel. The program has one thread, so
// one watcher serves the whole process; without one, waits just wait.
class WaitWatcher {
public:
    virtual ~WaitWatcher() = default;
    // Called every few tens of milliseconds while what is running; false asks the wait to stop.
    virtual bool stillWaiting(const QString& what) = 0;
};

void setWaitWatcher(WaitWatcher* watcher);
// Asks the watcher, if there is one, whether the operation goes on.
bool keepWaiting(const QString& what);

enum class WaitResult { Finished, TimedOut, Cancelled };

// Waits for a started process, telling the watcher every 50 ms; kills it on timeout or cancel.
WaitResult waitForProcess(QProcess& process, int timeoutMs, const QString& what);
// The same for processes that run side by side: each ends, or all are killed.
WaitResult waitForProcesses(const QList<QProcess*>& processes, int timeoutMs, const QString& what);

} // namespace tavimor
