// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiErrorHandler.h"

namespace tavimor {

void GuiErrorHandler::HandleError(qint32 number, const QString& description, const QString& source) {
    frmErrorHandler window(m_services);
    window.DisplayError(number, description, source);
}

} // namespace tavimor
