// SPDX-License-Identifier: GPL-3.0-or-later
#include "Password.h"

#include "base/ErrorHandler.h"
#include "catalogue/ProgramContext.h"
#include "settings/Cipher.h"
#include "settings/SettingsStore.h"

namespace tavimor {

namespace {
bool isCipherStatus(const QString& text) {
    return text == QLatin1String("-1") || text == QLatin1String("-2") || text == QLatin1String("-3") ||
           text == QLatin1String("-4") || text == QLatin1String("-5");
}
} // namespace

QString trimTrailingSpaces(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.left(end);
}

bool MyPwdWrite(ProgramContext& context, const QString& sPwd) {
    const QString stored = sPwd.isEmpty() ? QString() : EncipherText(sPwd, context.passPhrase);
    if (context.settings.save(QLatin1String(kPasswordKey), stored))
        return true;
    context.errors.HandleError(kSettingsStoreError, context.settings.lastError(),
                               QStringLiteral("bGlobal.MyPwdWrite"));
    return false;
}

std::optional<QString> MyPwdRead(ProgramContext& context) {
    const std::optional<QString> stored = context.settings.read(QLatin1String(kPasswordKey), QString());
    if (!stored) {
        context.errors.HandleError(kSettingsStoreError, context.settings.lastError(),
                                   QStringLiteral("bGlobal.MyPwdRead"));
        return std::nullopt;
    }
    if (stored->isEmpty())
        return QString();
    const QString clear = DecipherText(*stored, context.passPhrase);
    return isCipherStatus(clear) ? QString() : trimTrailingSpaces(clear);
}

bool passwordMatches(const QString& entered, const QString& stored) {
    const QByteArray a = entered.toUtf8();
    const QByteArray b = stored.toUtf8();
    // Every byte of the longer text is looked at, whatever the lengths.
    const qsizetype n = std::max(a.size(), b.size());
    unsigned diff = unsigned(a.size() ^ b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? uchar(a[i]) : 0;
        const unsigned char y = i < b.size() ? uchar(b[i]) : 0;
        diff |= unsigned(x ^ y);
    }
    return diff == 0;
}

} // namespace tavimor
