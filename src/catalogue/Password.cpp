// SPDX-License-Identifier: GPL-3.0-or-later
#include "Password.h"

#include "base/ErrorHandler.h"
#include "catalogue/ProgramContext.h"
#include "settings/Cipher.h"
#include "settings/SettingsStore.h"

namespace tavimor {

namespace {

// Every byte of the longer text is looked at, whatever the lengths.
bool sameText(const QString& entered, const QString& stored) {
    const QByteArray a = entered.toUtf8();
    const QByteArray b = stored.toUtf8();
    const qsizetype n = std::max(a.size(), b.size());
    unsigned diff = unsigned(a.size() ^ b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? uchar(a[i]) : 0;
        const unsigned char y = i < b.size() ? uchar(b[i]) : 0;
        diff |= unsigned(x ^ y);
    }
    return diff == 0;
}

// Whether the stored text is "", a hash, or a password an earlier version enciphered.
bool isSound(const QString& stored) {
    return stored.isEmpty() || isPasswordHash(stored) || DecipherStoredText(stored, cataloguePassPhrase());
}

} // namespace

QString trimTrailingSpaces(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.left(end);
}

bool MyPwdWrite(SettingsStore& settings, ErrorHandler& errors, const QString& sPwd) {
    const QString stored = sPwd.isEmpty() ? QString() : PasswordHash(sPwd);
    if (!sPwd.isEmpty() && stored.isEmpty()) {
        const QString missing = cipherUnavailable();
        errors.HandleError(
            kSettingsStoreError,
            QStringLiteral("The administrator password could not be made into a hash (%1); the "
                           "stored password was left as it was.")
                .arg(missing.isEmpty() ? QStringLiteral("OpenSSL failed") : missing),
            QStringLiteral("bGlobal.MyPwdWrite"));
        return false;
    }
    if (settings.save(QLatin1String(kPasswordKey), stored))
        return true;
    errors.HandleError(kSettingsStoreError, settings.lastError(), QStringLiteral("bGlobal.MyPwdWrite"));
    return false;
}

bool MyPwdWrite(ProgramContext& context, const QString& sPwd) {
    return MyPwdWrite(context.settings, context.errors, sPwd);
}

std::optional<QString> MyPwdRead(const SettingsStore& settings, ErrorHandler& errors) {
    const std::optional<QString> stored = settings.read(QLatin1String(kPasswordKey), QString());
    if (!stored) {
        errors.HandleError(kSettingsStoreError, settings.lastError(), QStringLiteral("bGlobal.MyPwdRead"));
        return std::nullopt;
    }
    // Without the cipher's library no password can be checked; "wrong password" would mislead.
    if (const QString missing = stored->isEmpty() ? QString() : cipherUnavailable(); !missing.isEmpty()) {
        errors.HandleError(kSettingsStoreError,
                           QStringLiteral("The administrator password cannot be checked: %1").arg(missing),
                           QStringLiteral("bGlobal.MyPwdRead"));
        return std::nullopt;
    }
    // Found before anyone is asked for a password: a damaged store is never "no password".
    if (!isSound(*stored)) {
        errors.HandleError(
            kSettingsStoreError,
            QStringLiteral("The administrator password stored in %1 (%2 in section [%3]) is damaged: it is "
                           "neither a password hash nor a password Tavimor enciphered, so no password can be "
                           "checked against it. Tavimor has not changed it; remove that line to start again "
                           "with an empty administrator password, or set the password again.")
                .arg(settings.fileName(QLatin1String(kAppName)), QLatin1String(kPasswordKey),
                     QLatin1String(kSection)),
            QStringLiteral("bGlobal.MyPwdRead"));
        return std::nullopt;
    }
    return stored;
}

std::optional<QString> MyPwdRead(ProgramContext& context) {
    return MyPwdRead(context.settings, context.errors);
}

bool passwordMatches(const QString& entered, const QString& stored) {
    if (stored.isEmpty())
        return entered.isEmpty();
    if (isPasswordHash(stored))
        return PasswordHashMatches(entered, stored).value_or(false);
    // An earlier version's enciphered password still logs in until the password is set again.
    const std::optional<QString> clear = DecipherStoredText(stored, cataloguePassPhrase());
    return clear && sameText(entered, trimTrailingSpaces(*clear));
}

} // namespace tavimor
