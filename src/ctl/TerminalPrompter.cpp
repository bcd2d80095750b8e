// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalPrompter.h"

#include "catalogue/ProgramContext.h"
#include "ctl/CtlOutput.h"

namespace tavimor {

Answer TerminalPrompter::message(const QString& text, const QString& title, MessageIcon,
                                 MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        break;
    case MessageButtons::OkCancel:
        return Answer::Cancel;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return Answer::No;
    }
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_output.note((title.isEmpty() ? QString::fromLatin1(kAppTitle) : title) + QStringLiteral(": ") + shown);
    return Answer::Ok;
}

} // namespace tavimor
