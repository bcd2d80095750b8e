// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Waiting.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {
// Says "go on" a given number of times, then "stop"; it is the process's watcher while it lives.
class CountingWatcher : public WaitWatcher {
public:
    explicit CountingWatcher(int allowed)
        : m_allowed(allowed) {
        setWaitWatcher(this);
    }
    ~CountingWatcher() override { setWaitWatcher(nullptr); }
    bool stillWaiting(const QString& what) override {
        last = what;
        return ++calls <= m_allowed;
    }
    int calls = 0;
    QString last;

private:
    int m_allowed;
};

void startSleep(QProcess& process, const char* seconds) {
    process.start(u"sleep"_s, {QLatin1String(seconds)});
    ASSERT_TRUE(process.waitForStarted());
}
} // namespace

TEST(Waiting, CancelKillsTheProgramAtOnceAndTimeoutStopsIt) {
    CountingWatcher watcher(2);
    QProcess process;
    startSleep(process, "30");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitForProcess(process, 60000, u"sleep 30"_s), WaitResult::Cancelled);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(process.state(), QProcess::NotRunning);
    EXPECT_EQ(watcher.last, u"sleep 30"_s);
    EXPECT_FALSE(keepWaiting(u"next"_s));

    setWaitWatcher(nullptr);
    EXPECT_TRUE(keepWaiting(u"no watcher"_s));
    QProcess slow;
    startSleep(slow, "30");
    EXPECT_EQ(waitForProcess(slow, 200, u"sleep 30"_s), WaitResult::TimedOut);
    EXPECT_EQ(slow.state(), QProcess::NotRunning);
}

TEST(Waiting, AQuickProgramFinishesEvenWhenAlreadyEnded) {
    CountingWatcher watcher(1000);
    QProcess process;
    process.start(u"true"_s, {});
    ASSERT_TRUE(process.waitForFinished());
    // Already ended before the wait: waitForFinished() alone would report a failure here.
    EXPECT_EQ(waitForProcess(process, 1000, u"true"_s), WaitResult::Finished);
    QProcess ticking;
    startSleep(ticking, "0.3");
    EXPECT_EQ(waitForProcess(ticking, 5000, u"sleep"_s), WaitResult::Finished);
    EXPECT_GE(watcher.calls, 2);
}
