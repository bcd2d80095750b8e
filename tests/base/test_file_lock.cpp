// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileLock.h"
#include "support/FaultPlace.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

// Two holders in one process behave as two programs would: the second waits, names the first, and
// has the lock once the first lets go; the lock file goes with its holder.
TEST(FileLock, ASecondHolderWaitsForTheFirstAndTheFileGoesWithIt) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"registry.reg.lock"_s);
    auto first = std::make_unique<FileLock>(path);
    QString error;
    ASSERT_TRUE(first->tryLock(0, &error)) << error.toStdString();
    FileLock second(path);
    EXPECT_FALSE(second.tryLock(30, &error));
    EXPECT_EQ(error,
              u"%1 is locked by another program (test_file_lock, process %2); try again when it has ended."_s
                  .arg(path)
                  .arg(::getpid()));
    first.reset();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(second.tryLock(0, &error));
}

// A lock file not yet filled may be a holder between making and filling it: it is left alone for a
// while, and broken once it is older than any holder takes.
TEST(FileLock, AnUnfilledLockFileIsBrokenOnlyWhenOld) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"settings.ini.lock"_s);
    ASSERT_TRUE(writeBytes(path, QByteArray()));
    FileLock lock(path);
    QString error;
    EXPECT_FALSE(lock.tryLock(20, &error));
    EXPECT_EQ(error, u"%1 is locked by another program; try again when it has ended, or remove it once no "
                     "Tavimor program runs."_s.arg(path));
    const utimbuf old{::time(nullptr) - 120, ::time(nullptr) - 120};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &old), 0);
    EXPECT_TRUE(lock.tryLock(0, &error)) << error.toStdString();
}
