// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

// Receives the unexpected failures of the module procedures (number, description, source
// such as "bGlobal.Power"). The windows show the error report; the command line prints it.
class ErrorHandler {
public:
    virtual ~ErrorHandler() = default;
    virtual void HandleError(qint32 number, const QString& description, const QString& source) = 0;
};

} // namespace tavimor
