// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace tavimor {

// The fixed 56-character catalogue pass phrase, the same for every installation.
const QString& cataloguePassPhrase();

// Base64 cipher text, or a status code "-1".."-3"; never throws.
QString EncipherText(const QString& text, const QString& passPhrase);

// The plain text, or a status code "-1".."-5"; never throws.
QString DecipherText(const QString& text, const QString& passPhrase);

// The same on bytes, for settings files, which can be large: UTF-8 text in and Base64 out,
// and back. A status code comes back as its text ("-2").
QByteArray EncipherBytes(QByteArray utf8, const QString& passPhrase);
QByteArray DecipherBytes(QByteArray base64, const QString& passPhrase);
// The length of EncipherBytes' result for a text of plainSize bytes, known before the work.
qsizetype EncipheredSize(qsizetype plainSize);

} // namespace tavimor
