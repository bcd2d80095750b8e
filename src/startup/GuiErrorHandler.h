// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ErrorHandler.h"
#include "frmErrorHandler.h"

namespace tavimor {

// HandleError of the windows: the error report window, from which the program ends.
class GuiErrorHandler : public ErrorHandler {
public:
    explicit GuiErrorHandler(const frmErrorHandler::Services& services)
        : m_services(services) {}
    void HandleError(qint32 number, const QString& description, const QString& source) override;

private:
    frmErrorHandler::Services m_services;
};

} // namespace tavimor
