#pragma once

#include "base/ErrorHandler.h"

#include <QTextStream>

namespace tavimor {

// The error report of the windows, as one line on the error stream; the command then fails.
class CtlErrorHandler : public ErrorHandler {
public:
    explicit CtlErrorHandler(QTextStream& err)
        : m_err(err) {}

    void HandleError(qint32 number, const QString& description, const QString& source) override {
        m_err << "tavimorctl: " << description << " (error " << number << " in " << source << ")" << Qt::endl;
        m_reported = true;
    }
    bool reported() const { return m_reported; }

private:
    QTextStream& m_err;
    bool m_reported = false;
};

} // namespace tavimor
