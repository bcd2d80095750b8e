// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace tavimor {

// Why nothing can be enciphered or deciphered here (the cipher's library cannot be loaded), or "".
QString cipherUnavailable();

// The fixed 56-character catalogue pass phrase, the same for every installation.
const QString& cataloguePassPhrase();

// Base64 cipher text, or a status code "-1".."-3"; never throws.
QString EncipherText(const QString& text, const QString& passPhrase);

// The plain text, or a status code "-1".."-5"; never throws.
QString DecipherText(const QString& text, const QString& passPhrase);

// The same on bytes, for settings files, which can be large: UTF-8 text in and Base64 out,
// and back. A status code comes back as its text ("-2").
QByteArray EncipherBytes(QByteArray utf8, const QString& passPhrase);
// The same for a text handed over in pieces, so that it need never be whole in memory: write is
// called once and gives each piece to the function it is passed. A sizeHint near the text's size
// spares the result from growing; room bytes more can be appended to it without a copy.
using PieceWriter = std::function<void(const std::function<void(QByteArrayView)>& piece)>;
QByteArray EncipherPieces(const PieceWriter& write, const QString& passPhrase, qsizetype sizeHint,
                          qsizetype room = 0);
QByteArray DecipherBytes(QByteArray base64, const QString& passPhrase);
// The length of EncipherBytes' result for a text of plainSize bytes, known before the work.
qsizetype EncipheredSize(qsizetype plainSize);

// The administrator password as it is stored: a salted scrypt hash, "$scrypt$LN$R$P$SALT$HASH",
// which cannot be turned back into the password. "" when OpenSSL failed or is missing.
QString PasswordHash(const QString& password);
// Whether password is the one hash was made from, compared in constant time; nullopt when hash is
// no such hash or OpenSSL failed.
std::optional<bool> PasswordHashMatches(const QString& password, const QString& hash);
// DecipherText for a short stored text whose clear text may itself read "-1": nullopt on any failure.
std::optional<QString> DecipherStoredText(const QString& text, const QString& passPhrase);

// Whether text is a password hash as PasswordHash makes them, with costs no higher than a login can
// bear (a store may be edited by hand).
bool isPasswordHash(const QString& text);

} // namespace tavimor
