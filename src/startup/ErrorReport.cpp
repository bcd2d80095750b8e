// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorReport.h"

#include "base/FileUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QUrl>
#include <functional>

namespace tavimor {

namespace {

QString reportText(const QString& mailAddress, const QDateTime& when, qint32 number,
                   const QString& description, const QString& source,
                   const std::function<QString(const QString&)>& part) {
    return QStringLiteral("mailto:") + mailAddress + QStringLiteral("?subject=Tavimor Error Report&Body=") +
           QStringLiteral("Error Date: ") + part(QLocale().toString(when, QLocale::ShortFormat)) +
           QStringLiteral("%0D") + QStringLiteral("Error Number: ") + part(QString::number(number)) +
           QStringLiteral(" %0D") + QStringLiteral("Error Description: ") + part(description) +
           QStringLiteral(" %0D") + QStringLiteral("Error Source: ") + part(source);
}

} // namespace

QString errorReportText(const QString& mailAddress, const QDateTime& when, qint32 number,
                        const QString& description, const QString& source) {
    return reportText(mailAddress, when, number, description, source,
                      [](const QString& text) { return text; });
}

QString errorReportLink(const QString& mailAddress, const QDateTime& when, qint32 number,
                        const QString& description, const QString& source) {
    // Data may hold "&", "?" or "#": unescaped, "x&attachment=FILE" would reach the mail program as
    // a parameter of the link.
    return reportText(mailAddress, when, number, description, source,
                      [](const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); });
}

QString writeErrorLog(const QString& report, const QString& programFolder, const QString& fallbackFolder,
                      QString* error) {
    const QByteArray content = report.toUtf8() + QByteArrayLiteral("\r\n");
    const QString name = QLatin1String(kErrorLogName);
    const QString first = programFolder + QLatin1Char('/') + name;
    // The per-user state folder may not exist yet.
    QDir().mkpath(programFolder);
    if (writeFileAtomically(first, content, error))
        return first;
    // An installed program folder is often read-only for the user.
    if (fallbackFolder.isEmpty() || !QDir().mkpath(fallbackFolder))
        return QString();
    const QString second = fallbackFolder + QLatin1Char('/') + name;
    return writeFileAtomically(second, content, error) ? second : QString();
}

QString errorWindowFailureText(qint32 number, const QString& description, const QString& handler) {
    return QCoreApplication::translate("ErrorReport",
                                       "Error Occurred, please contact Quillmoor support team\r\n"
                                       "Error Number: %1\r\nError Description: %2\r\n"
                                       "Error Source: frmErrorHandler%3")
        .arg(QString::number(number), description, handler);
}

} // namespace tavimor
