// SPDX-License-Identifier: GPL-3.0-or-later
#include "DriveMask.h"

#include "registry/MSDNRegistry.h"

#include <QRegularExpression>
#include <cmath>

namespace tavimor {

quint32 driveBit(int index, ErrorHandler& errors) {
    return quint32(std::lround(Power(2, index, errors)));
}

quint32 readDriveMask(MSDNRegistry& registry, ErrorHandler& errors, QString* unread) {
    const RegDatum datum = registry.ReadKeyValue(HKEY_CURRENT_USER, QLatin1String(kDrivesKeyPath),
                                                 QLatin1String(kDrivesValueName));
    if (unread)
        *unread = datum.unreadReason();
    const quint32 stored = quint32(datum.toInteger().value_or(0));
    quint32 mask = 0;
    for (int i = 0; i < kDriveCount; ++i) {
        const quint32 bit = driveBit(i, errors);
        if ((stored & bit) == bit)
            mask |= bit;
    }
    return mask;
}

void writeDriveMask(MSDNRegistry& registry, quint32 mask, ErrorHandler& errors) {
    quint32 written = 0;
    for (int i = 0; i < kDriveCount; ++i) {
        const quint32 bit = driveBit(i, errors);
        if (mask & bit)
            written |= bit;
    }
    registry.CreateRegKey(QLatin1String(kDrivesKeyPath), HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, QLatin1String(kDrivesKeyPath), QLatin1String(kDrivesValueName),
                          RegDatum::integer(qint32(written)), REG_DWORD);
}

QString driveLetters(quint32 mask) {
    QString letters;
    for (int i = 0; i < kDriveCount; ++i)
        if (mask & (1u << i))
            letters += QChar(u'A' + i);
    return letters;
}

std::optional<quint32> parseDriveLetters(const QString& text, QString* error) {
    const auto refuse = [&](const QString& why) -> std::optional<quint32> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return 0u;
    if (trimmed.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
        return (1u << kDriveCount) - 1;
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QRegularExpression item(QStringLiteral("^([A-Za-z]):?(?:-([A-Za-z]):?)?$"));
    const QStringList items = trimmed.split(separators, Qt::SkipEmptyParts);
    if (items.isEmpty())
        return refuse(QStringLiteral("no drive letters given; use none to hide no drive"));
    quint32 mask = 0;
    for (const QString& given : items) {
        const QRegularExpressionMatch match = item.match(given);
        if (!match.hasMatch())
            return refuse(
                QStringLiteral("\"%1\" is not a drive letter (A, A:, A-C, none or all)").arg(given));
        const int first = match.captured(1).toUpper().at(0).unicode() - u'A';
        const int last = match.hasCaptured(2) ? match.captured(2).toUpper().at(0).unicode() - u'A' : first;
        if (last < first)
            return refuse(QStringLiteral("\"%1\" is a range backwards; write %2-%3")
                              .arg(given, QChar(u'A' + last), QChar(u'A' + first)));
        for (int i = first; i <= last; ++i)
            mask |= 1u << i;
    }
    return mask;
}

} // namespace tavimor
