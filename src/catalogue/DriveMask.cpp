#include "DriveMask.h"

#include "registry/MSDNRegistry.h"

#include <cmath>

namespace tavimor {

quint32 driveBit(int index, ErrorHandler& errors) {
    return quint32(std::lround(Power(2, index, errors)));
}

quint32 readDriveMask(MSDNRegistry& registry, ErrorHandler& errors) {
    const RegDatum datum = registry.ReadKeyValue(HKEY_CURRENT_USER, QLatin1String(kDrivesKeyPath),
                                                 QLatin1String(kDrivesValueName));
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

std::optional<quint32> parseDriveLetters(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return 0u;
    if (trimmed.isEmpty())
        return std::nullopt;
    quint32 mask = 0;
    for (const QChar c : trimmed) {
        const QChar upper = c.toUpper();
        if (upper >= QLatin1Char('A') && upper <= QLatin1Char('Z'))
            mask |= 1u << (upper.unicode() - u'A');
        else if (c != QLatin1Char(',') && c != QLatin1Char(':') && c != QLatin1Char(' '))
            return std::nullopt;
    }
    return mask;
}

} // namespace tavimor
