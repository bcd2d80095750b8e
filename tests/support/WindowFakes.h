// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"
#include "gui/Shell.h"

#include <QStringList>

namespace tavimor::test {

// Records what the program asks the desktop to open, and opens nothing.
class RecordingShell : public Shell {
public:
    bool open(const QString& fileOrUrl) override {
        opened.append(fileOrUrl);
        return true;
    }
    QStringList opened;
};

// A clock that stands still where the test puts it.
class FixedClock : public Clock {
public:
    QDateTime now() const override { return time; }
    QDateTime time{QDate(2026, 3, 14), QTime(9, 26, 53)};
};

} // namespace tavimor::test
