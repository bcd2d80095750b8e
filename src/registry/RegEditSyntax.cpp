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

QByteArray valueText(const QString& name, const RegValue& value) {
    QByteArray line = name.isEmpty() ? QByteArray("@=") : '"' + escaped(name.toLatin1()) + "\"=";
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
