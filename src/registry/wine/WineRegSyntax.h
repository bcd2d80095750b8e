// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The line-level syntax of Wine's registry files: escaped texts and the typed value lines.
// Values travel as wineserver holds them: strings in UTF-16LE with their terminating zero.
namespace tavimor::winereg {

inline constexpr quint32 REG_LINK = 6;

// Escapes as wineserver does; delimiters are the two characters that end the text ("[]" or "\"\"").
QByteArray escaped(const QString& text, const char delimiters[2]);
// Reads an escaped text up to the end character; *end is the index of that character.
std::optional<QString> unescaped(QByteArrayView text, char endChar, qsizetype* end);

struct ParsedValue {
    QString name;
    RegValue value;
};
// Where the data of a value line starts, after "=" and blanks; nullopt when it is no value line.
std::optional<qsizetype> dataStart(QByteArrayView line, QString* name);
// One logical value line (continuations already joined); nullopt for a line Wine would skip.
std::optional<ParsedValue> parseValueLine(QByteArrayView line);
// The value as wineserver writes it, line end and continuations included.
QByteArray valueText(const QString& name, const RegValue& value);

QByteArray utf16Data(const QString& text, bool terminated = true);
// The UTF-16 text of string data, without the terminating zero when there is one.
QString textOfData(const QByteArray& data);

// What the ANSI registry functions make of a stored value, and back: strings in the 8-bit
// code page, Latin-1 here, '?' for what it cannot hold; other types untouched.
RegValue toAnsi(const RegValue& stored);
RegValue fromAnsi(const RegValue& given);

} // namespace tavimor::winereg
