// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ErrorHandler.h"

#include <QList>

namespace tavimor::test {

class RecordingErrorHandler : public ErrorHandler {
public:
    struct Report {
        qint32 number;
        QString description;
        QString source;
    };
    void HandleError(qint32 number, const QString& description, const QString& source) override {
        reports.append({number, description, source});
    }
    QList<Report> reports;
};

} // namespace tavimor::test
