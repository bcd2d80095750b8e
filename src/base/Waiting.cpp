// SPDX-License-Identifier: GPL-3.0-or-later
#include "Waiting.h"

#include <QElapsedTimer>
#include <QProcess>

namespace tavimor {

namespace {
WaitWatcher* g_watcher = nullptr;
constexpr int kTickMs = 50;
} // namespace

void setWaitWatcher(WaitWatcher* watcher) {
    g_watcher = watcher;
}

bool keepWaiting(const QString& what) {
    return !g_watcher || g_watcher->stillWaiting(what);
}

WaitResult waitForProcess(QProcess& process, int timeoutMs, const QString& what) {
    return waitForProcesses({&process}, timeoutMs, what);
}

WaitResult waitForProcesses(const QList<QProcess*>& processes, int timeoutMs, const QString& what) {
    QElapsedTimer clock;
    clock.start();
    WaitResult result = WaitResult::Finished;
    for (QProcess* process : processes) {
        // waitForFinished() is false for a process that has already ended, so the state decides.
        while (process->state() != QProcess::NotRunning && !process->waitForFinished(kTickMs)) {
            if (process->state() == QProcess::NotRunning)
                break;
            if (clock.elapsed() >= timeoutMs) {
                result = WaitResult::TimedOut;
                break;
            }
            if (!keepWaiting(what)) {
                result = WaitResult::Cancelled;
                break;
            }
        }
        if (result != WaitResult::Finished)
            break;
    }
    if (result != WaitResult::Finished) {
        for (QProcess* process : processes) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->kill();
            process->waitForFinished(1000);
        }
    }
    return result;
}

} // namespace tavimor
