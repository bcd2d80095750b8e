// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace tavimor {

inline constexpr auto kErrorLogName = "errors.log";

// The one-line report: a mail link whose body carries the error's date, number, description and
// source, the texts as they are, as the report window and errors.log show it.
QString errorReportText(const QString& mailAddress, const QDateTime& when, qint32 number,
                        const QString& description, const QString& source);
// The same report as the link handed to the shell: every part taken from the error percent-encoded,
// so the mail program finds the subject and the body and nothing else.
QString errorReportLink(const QString& mailAddress, const QDateTime& when, qint32 number,
                        const QString& description, const QString& source);

// Replaces errors.log in the given folder (the program folder on Windows, the user's state folder
// elsewhere) with the report and CR LF, or, when that folder cannot be written, in the fallback folder. The
// path written, or "" when neither could be.
QString writeErrorLog(const QString& report, const QString& programFolder, const QString& fallbackFolder,
                      QString* error = nullptr);

// The message shown when a button of the error report window fails; handler is e.g. ".CloseAll".
QString errorWindowFailureText(qint32 number, const QString& description, const QString& handler);

} // namespace tavimor
