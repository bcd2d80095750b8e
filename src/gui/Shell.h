// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace tavimor {

// What the program asks of the desktop: open a file, a web address or a mail link with the
// program the user has for it. Tests record the calls instead.
class Shell {
public:
    virtual ~Shell() = default;
    // False when nothing could be started for it.
    virtual bool open(const QString& fileOrUrl) = 0;
};

class DesktopShell : public Shell {
public:
    bool open(const QString& fileOrUrl) override;
};

} // namespace tavimor
