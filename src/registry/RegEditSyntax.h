#pragma once

#include "KeyStoreBackend.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The line-level syntax of REGEDIT4 files: blanks, quoted texts, hex numbers and bytes, value lines.
namespace tavimor::regedit {

// Blanks are spaces, tabs and the CR of a CR LF line end.
QByteArrayView trimmedLeft(QByteArrayView text);
QByteArrayView trimmedRight(QByteArrayView text);
// 1 to maxDigits hex digits and nothing else.
bool parseHex(QByteArrayView digits, qsizetype maxDigits, quint32* number);
bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix);
// Reads the quoted text whose opening quote is at text[0]; *end is just past the closing quote.
std::optional<QByteArray> readQuoted(QByteArrayView text, qsizetype* end, QString* error);
// Appends the comma-separated bytes of one line; *bad is the token that is not a byte.
bool appendHexBytes(QByteArrayView segment, QByteArray* data, QByteArrayView* bad);
QByteArray escaped(QByteArrayView text);
// A value line in the form regedit writes, line end included.
QByteArray valueText(const QString& name, const RegValue& value);

} // namespace tavimor::regedit
