// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
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

// A key line "[PATH]", or "[-PATH]" for a deletion; nullopt with *error.
struct KeyLine {
    QByteArrayView path;
    bool deletion = false;
};
std::optional<KeyLine> readKeyLine(QByteArrayView body, QString* error);
// Why Windows would not hold a key at path (hive included): more than 512 levels below the hive, a
// name longer than 255 characters, a NUL in a name. "" when it would.
QString keyPathFault(QStringView path);

// A value line: "name" (or @ for the default value) = "text", dword:, hex:, hex(N): or - for a deletion.
struct ValueLine {
    QByteArray name; // as written, unescaped
    bool deletion = false;
    RegValue value;      // a text's bytes as written, plus the terminating NUL
    bool quoted = false; // a REG_SZ written as a text, not as hex(1) bytes
};
// Reads the value line whose body begins with '"' or '@'. Hex data ending in \ continues on the line
// nextLine gives (false at the end of the text). nullopt with *error, and in *errorLine the line at
// fault counted from the first (0).
std::optional<ValueLine> readValueLine(QByteArrayView body,
                                       const std::function<bool(QByteArrayView*)>& nextLine, QString* error,
                                       int* errorLine);
// A value line in the form regedit writes, line end included; the name is given encoded, "" for @.
QByteArray valueText(QByteArrayView name, const RegValue& value);
// The same with the name in Latin-1.
QByteArray valueText(const QString& name, const RegValue& value);

} // namespace tavimor::regedit
