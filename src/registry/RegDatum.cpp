// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegDatum.h"

#include <cmath>
#include <limits>

namespace tavimor {

QString RegDatum::toText() const {
    if (const auto* t = std::get_if<QString>(&m_value))
        return *t;
    if (const auto* n = std::get_if<qint32>(&m_value))
        return QString::number(*n);
    return QString();
}

std::optional<qint32> RegDatum::toInteger() const {
    if (const auto* t = std::get_if<QString>(&m_value))
        return toLong(*t);
    if (const auto* n = std::get_if<qint32>(&m_value))
        return *n;
    if (isUnread())
        return std::nullopt;
    return 0;
}

QString RegDatum::unreadReason() const {
    const auto* unread = std::get_if<Unread>(&m_value);
    return unread ? unread->reason : QString();
}

std::optional<qint32> toLong(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-')) {
        negative = text[0] == QLatin1Char('-');
        ++i;
    }
    const qsizetype digitsStart = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
        ++i;
    const qsizetype intEnd = i;
    qsizetype fracStart = i, fracEnd = i;
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        fracStart = ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
        fracEnd = i;
    }
    if (i != text.size() || (intEnd == digitsStart && fracEnd == fracStart))
        return std::nullopt;
    // Long digit runs are checked against the range before any arithmetic.
    QStringView digits = text.mid(digitsStart, intEnd - digitsStart);
    while (digits.size() > 1 && digits[0] == QLatin1Char('0'))
        digits = digits.mid(1);
    if (digits.size() > 10)
        return std::nullopt;
    qint64 magnitude = digits.isEmpty() ? 0 : digits.toLongLong();
    if (fracEnd > fracStart) {
        const QStringView frac = text.mid(fracStart, fracEnd - fracStart);
        const int first = frac[0].digitValue();
        bool restNonZero = false;
        for (QChar c : frac.mid(1))
            restNonZero = restNonZero || c != QLatin1Char('0');
        if (first > 5 || (first == 5 && (restNonZero || magnitude % 2 == 1)))
            ++magnitude;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace tavimor
