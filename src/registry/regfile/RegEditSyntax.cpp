// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegEditSyntax.h"

#include <QtEndian>

namespace tavimor::regedit {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Text regedit can show as "..." has exactly one NUL, at the end, and stays on one line.
bool isPlainText(const QByteArray& data) {
    return !data.isEmpty() && data.indexOf('\0') == data.size() - 1 && !data.contains('\r') &&
           !data.contains('\n');
}

} // namespace

QByteArrayView trimmedLeft(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    return text;
}

QByteArrayView trimmedRight(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool parseHex(QByteArrayView digits, qsizetype maxDigits, quint32* number) {
    if (digits.isEmpty() || digits.size() > maxDigits)
        return false;
    quint32 result = 0;
    for (const char c : digits) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        result = result << 4 | quint32(digit);
    }
    *number = result;
    return true;
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix) {
    return text.size() >= prefix.size() &&
           text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// Reads the quoted text whose opening quote is at text[0]; only \\ and \" are escapes.
std::optional<QByteArray> readQuoted(QByteArrayView text, qsizetype* end, QString* error) {
    QByteArray out;
    for (qsizetype i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *end = i + 1;
            return out;
        }
        if (c == '\\') {
            if (i + 1 == text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) {
                *error = QStringLiteral("bad escape (only \\\\ and \\\" are allowed)");
                return std::nullopt;
            }
            c = text[++i];
        }
        out += c;
    }
    *error = QStringLiteral("no closing quote");
    return std::nullopt;
}

// A blank segment holds no bytes; one trailing comma is allowed.
bool appendHexBytes(QByteArrayView segment, QByteArray* data, QByteArrayView* bad) {
    segment = trimmedRight(trimmedLeft(segment));
    if (segment.isEmpty())
        return true;
    if (segment.endsWith(','))
        segment.chop(1);
    for (qsizetype start = 0;;) {
        const qsizetype comma = segment.indexOf(',', start);
        const qsizetype end = comma < 0 ? segment.size() : comma;
        const QByteArrayView token = trimmedRight(trimmedLeft(segment.sliced(start, end - start)));
        quint32 byte = 0;
        if (!parseHex(token, 2, &byte)) {
            *bad = token;
            return false;
        }
        data->append(char(byte));
        if (comma < 0)
            return true;
        start = comma + 1;
    }
}

QByteArray escaped(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size() + 2);
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::optional<ValueLine> readValueLine(QByteArrayView body,
                                       const std::function<bool(QByteArrayView*)>& nextLine, QString* error,
                                       int* errorLine) {
    int line = 0;
    const auto fail = [&](const QString& reason, int at) -> std::optional<ValueLine> {
        *error = reason;
        *errorLine = at;
        return std::nullopt;
    };
    ValueLine parsed;
    qsizetype at = 1;
    if (body.front() == '"') {
        QString why;
        const std::optional<QByteArray> name = readQuoted(body, &at, &why);
        if (!name)
            return fail(QStringLiteral("value name: ") + why, 0);
        parsed.name = *name;
    }
    QByteArrayView data = trimmedLeft(body.sliced(at));
    if (!data.startsWith('='))
        return fail(QStringLiteral("missing = after the value name"), 0);
    data = trimmedLeft(data.sliced(1));
    if (data == "-") {
        parsed.deletion = true;
    } else if (data.startsWith('"')) {
        QString why;
        qsizetype end = 0;
        const std::optional<QByteArray> text = readQuoted(data, &end, &why);
        if (!text)
            return fail(QStringLiteral("string: ") + why, 0);
        if (end != data.size())
            return fail(QStringLiteral("text after the closing quote"), 0);
        parsed.value = RegValue{REG_SZ, *text + '\0'};
        parsed.quoted = true;
    } else if (startsWithNoCase(data, "dword:")) {
        quint32 number = 0;
        if (!parseHex(data.sliced(6), 8, &number))
            return fail(QStringLiteral("bad dword digits (1 to 8 hex digits expected)"), 0);
        parsed.value = regDword(number);
    } else if (startsWithNoCase(data, "hex")) {
        QByteArrayView segment = data.sliced(3);
        quint32 type = REG_BINARY;
        if (segment.startsWith('(')) {
            const qsizetype close = segment.indexOf(')');
            if (close < 0 || !parseHex(segment.sliced(1, close - 1), 8, &type))
                return fail(QStringLiteral("bad type in hex(...)"), 0);
            segment = segment.sliced(close + 1);
        }
        if (!segment.startsWith(':'))
            return fail(QStringLiteral("unknown value type"), 0);
        parsed.value.type = type;
        segment = segment.sliced(1);
        // Bytes are one or two hex digits between commas; a line ending in \ continues on the next one.
        for (;;) {
            const bool more = segment.endsWith('\\');
            if (more)
                segment.chop(1);
            QByteArrayView bad;
            if (!appendHexBytes(segment, &parsed.value.data, &bad))
                return fail(QStringLiteral("bad hex byte \"%1\"").arg(QString::fromLatin1(bad)), line);
            if (!more)
                break;
            if (!nextLine(&segment))
                return fail(QStringLiteral("hex data continues past the end of the file"), 0);
            ++line;
            segment = trimmedLeft(segment);
        }
    } else {
        return fail(QStringLiteral("unknown value type"), 0);
    }
    return parsed;
}

std::optional<KeyLine> readKeyLine(QByteArrayView body, QString* error) {
    if (body.size() < 2 || body.back() != ']') {
        *error = QStringLiteral("key line without its closing ]");
        return std::nullopt;
    }
    KeyLine key{body.sliced(1, body.size() - 2), false};
    key.deletion = key.path.startsWith('-');
    if (key.deletion)
        key.path = key.path.sliced(1);
    if (key.path.isEmpty()) {
        *error = QStringLiteral("key line without a key name");
        return std::nullopt;
    }
    return key;
}

QString keyPathFault(QStringView path) {
    constexpr qsizetype kMaxLevels = 512;
    constexpr qsizetype kMaxNameLength = 255;
    if (path.contains(QChar(0)))
        return QStringLiteral("key name with a NUL character");
    qsizetype levels = 0;
    for (const QStringView name : path.tokenize(u'\\')) {
        // The hive itself is no level of the tree.
        if (levels++ > kMaxLevels)
            return QStringLiteral("key more than %1 levels deep").arg(kMaxLevels);
        if (name.size() > kMaxNameLength)
            return QStringLiteral("key name longer than %1 characters").arg(kMaxNameLength);
    }
    return QString();
}

QByteArray valueText(const QString& name, const RegValue& value) {
    return valueText(QByteArrayView(name.toLatin1()), value);
}

QByteArray valueText(QByteArrayView name, const RegValue& value) {
    QByteArray line = name.isEmpty() ? QByteArray("@=") : '"' + escaped(name) + "\"=";
    if (value.type == REG_SZ && isPlainText(value.data)) {
        line += '"' + escaped(QByteArrayView(value.data).chopped(1)) + '"';
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        const quint32 number = qFromLittleEndian<quint32>(value.data.constData());
        line += "dword:" + QByteArray::number(number, 16).rightJustified(8, '0');
    } else {
        line += value.type == REG_BINARY ? QByteArray("hex:")
                                         : "hex(" + QByteArray::number(value.type, 16) + "):";
        // Wrapped as regedit wraps: lines of about 80 columns, continued with two spaces.
        qsizetype lineStart = 0;
        for (qsizetype i = 0; i < value.data.size(); ++i) {
            line += QByteArray::number(quint8(value.data[i]), 16).rightJustified(2, '0');
            if (i + 1 == value.data.size())
                break;
            line += ',';
            if (line.size() - lineStart > 76) {
                line += "\\\r\n  ";
                lineStart = line.size() - 2;
            }
        }
    }
    return line + "\r\n";
}

} // namespace tavimor::regedit
