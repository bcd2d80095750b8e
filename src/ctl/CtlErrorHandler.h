// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ErrorHandler.h"
#include "ctl/CtlOutput.h"

namespace tavimor {

// The error report of the windows, as one line on the error stream; the command then fails.
class CtlErrorHandler : public ErrorHandler {
public:
    explicit CtlErrorHandler(CtlOutput& output)
        : m_output(output) {}

    void HandleError(qint32 number, const QString& description, const QString& source) override {
        m_output.report(QStringLiteral("%1 (error %2 in %3)").arg(description).arg(number).arg(source));
        m_reported = true;
    }
    bool reported() const { return m_reported; }

private:
    CtlOutput& m_output;
    bool m_reported = false;
};

} // namespace tavimor
