#pragma once

#include <QString>

namespace tavimor {

// The fixed 56-character catalogue pass phrase, the same for every installation.
const QString& cataloguePassPhrase();

// Base64 cipher text, or a status code "-1".."-3"; never throws.
QString EncipherText(const QString& text, const QString& passPhrase);

// The plain text, or a status code "-1".."-5"; never throws.
QString DecipherText(const QString& text, const QString& passPhrase);

} // namespace tavimor
