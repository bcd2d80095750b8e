// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegSyntax.h"

#include <QtEndian>

namespace tavimor::winereg {

namespace {

constexpr char kEscapes[33] = ".......abtnvfr.............e....";

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

qsizetype skipSpace(QByteArrayView text, qsizetype at) {
    while (at < text.size() && isSpace(text[at]))
        ++at;
    return at;
}

// Appends bytes in wineserver's manner: "xx,yy,..." and a continuation past column 76.
void appendHex(QByteArray* out, const QByteArray& data, int count) {
    for (qsizetype i = 0; i < data.size(); ++i) {
        out->append(QByteArray::number(quint8(data[i]), 16).rightJustified(2, '0'));
        count += 2;
        if (i < data.size() - 1) {
            out->append(',');
            if (++count > 76) {
                out->append("\\\n  ");
                count = 2;
            }
        }
    }
}

// Reads comma-separated bytes as wineserver does; returns where reading stopped.
qsizetype readHex(QByteArrayView text, qsizetype at, QByteArray* data, bool* ok) {
    *ok = true;
    while (at < text.size() && isHexDigit(text[at])) {
        quint32 value = 0;
        while (at < text.size() && isHexDigit(text[at])) {
            value = value * 16 + quint32(hexValue(text[at++]));
            if (value > 0xFF) {
                *ok = false;
                return at;
            }
        }
        data->append(char(value));
        at = skipSpace(text, at);
        if (at < text.size() && text[at] == ',')
            ++at;
        at = skipSpace(text, at);
    }
    return at;
}

} // namespace

QByteArray escaped(const QString& text, const char delimiters[2]) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool nextIsHex =
            i + 1 < text.size() && text[i + 1].unicode() < 0x80 && isHexDigit(char(text[i + 1].unicode()));
        if (c > 127) {
            out.append("\\x");
            out.append(QByteArray::number(c, 16).rightJustified(nextIsHex ? 4 : 0, '0'));
        } else if (c < 32) {
            const bool nextIsOctal =
                i + 1 < text.size() && text[i + 1] >= QLatin1Char('0') && text[i + 1] <= QLatin1Char('7');
            out.append('\\');
            if (kEscapes[c] != '.')
                out.append(kEscapes[c]);
            else
                out.append(QByteArray::number(c, 8).rightJustified(nextIsOctal ? 3 : 0, '0'));
        } else {
            if (c == '\\' || c == delimiters[0] || c == delimiters[1])
                out.append('\\');
            out.append(char(c));
        }
    }
    return out;
}

std::optional<QString> unescaped(QByteArrayView text, char endChar, qsizetype* end) {
    QString out;
    qsizetype p = 0;
    while (p < text.size() && text[p] != endChar) {
        if (text[p] == '\\') {
            if (p + 1 >= text.size())
                return std::nullopt;
            const char e = text[++p];
            const char* simple = "a\ab\be\x1b"
                                 "f\fn\nr\rt\tv\v";
            const char* hit = nullptr;
            for (const char* s = simple; *s; s += 2) {
                if (*s == e)
                    hit = s;
            }
            if (hit) {
                out.append(QChar(char16_t(hit[1])));
                ++p;
                continue;
            }
            if (e == 'x') {
                ++p;
                if (p >= text.size() || !isHexDigit(text[p])) {
                    out.append(QLatin1Char('x'));
                    continue;
                }
                char16_t value = 0;
                for (int n = 0; n < 4 && p < text.size() && isHexDigit(text[p]); ++n)
                    value = char16_t(value * 16 + hexValue(text[p++]));
                out.append(QChar(value));
                continue;
            }
            if (e >= '0' && e <= '7') {
                char16_t value = 0;
                for (int n = 0; n < 3 && p < text.size() && text[p] >= '0' && text[p] <= '7'; ++n)
                    value = char16_t(value * 8 + (text[p++] - '0'));
                out.append(QChar(value));
                continue;
            }
        }
        out.append(QChar(char16_t(quint8(text[p++]))));
    }
    if (p >= text.size())
        return std::nullopt;
    *end = p;
    return out;
}

QByteArray utf16Data(const QString& text, bool terminated) {
    QByteArray data;
    data.resize((text.size() + (terminated ? 1 : 0)) * 2);
    char* out = data.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text[i].unicode(), out + 2 * i);
    if (terminated)
        qToLittleEndian<quint16>(0, out + 2 * text.size());
    return data;
}

QString textOfData(const QByteArray& data) {
    QString text;
    const qsizetype count = data.size() / 2;
    text.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        text.append(QChar(qFromLittleEndian<quint16>(data.constData() + 2 * i)));
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

std::optional<qsizetype> dataStart(QByteArrayView line, QString* name) {
    qsizetype at = skipSpace(line, 0);
    if (at >= line.size())
        return std::nullopt;
    name->clear();
    if (line[at] == '@') {
        ++at;
    } else if (line[at] == '"') {
        qsizetype end = 0;
        std::optional<QString> text = unescaped(line.sliced(at + 1), '"', &end);
        if (!text)
            return std::nullopt;
        *name = std::move(*text);
        at += end + 2;
    } else {
        return std::nullopt;
    }
    at = skipSpace(line, at);
    if (at >= line.size() || line[at] != '=')
        return std::nullopt;
    return skipSpace(line, at + 1);
}

std::optional<ParsedValue> parseValueLine(QByteArrayView line) {
    ParsedValue parsed;
    const std::optional<qsizetype> at = dataStart(line, &parsed.name);
    if (!at)
        return std::nullopt;
    const QByteArrayView data = line.sliced(*at);

    static const struct {
        const char* tag;
        quint32 type;
    } kStrings[] = {
        {"\"", REG_SZ}, {"str:\"", REG_SZ}, {"str(2):\"", REG_EXPAND_SZ}, {"str(7):\"", REG_MULTI_SZ}};
    for (const auto& kind : kStrings) {
        if (!data.startsWith(QByteArrayView(kind.tag)))
            continue;
        qsizetype end = 0;
        const std::optional<QString> text = unescaped(data.sliced(qstrlen(kind.tag)), '"', &end);
        if (!text)
            return std::nullopt;
        parsed.value = RegValue{kind.type, utf16Data(*text)};
        return parsed;
    }
    if (data.startsWith("dword:")) {
        qsizetype p = 6;
        quint32 value = 0;
        while (p < data.size() && isHexDigit(data[p]) && p < 14)
            value = value * 16 + quint32(hexValue(data[p++]));
        if (p == 6 || (p < data.size() && !isSpace(data[p])))
            return std::nullopt;
        parsed.value = regDword(value);
        return parsed;
    }
    qsizetype p = 0;
    if (data.startsWith("hex:")) {
        parsed.value.type = REG_BINARY;
        p = 4;
    } else if (data.startsWith("hex(")) {
        p = 4;
        quint32 type = 0;
        const qsizetype digits = p;
        while (p < data.size() && isHexDigit(data[p]) && p - digits < 8)
            type = type * 16 + quint32(hexValue(data[p++]));
        if (p == digits || !data.sliced(p).startsWith("):"))
            return std::nullopt;
        parsed.value.type = type;
        p += 2;
    } else {
        return std::nullopt;
    }
    bool ok = true;
    p = readHex(data, skipSpace(data, p), &parsed.value.data, &ok);
    if (!ok || skipSpace(data, p) != data.size())
        return std::nullopt;
    return parsed;
}

QByteArray valueText(const QString& name, const RegValue& value) {
    static constexpr char kQuotes[2] = {'"', '"'};
    QByteArray out;
    if (name.isEmpty()) {
        out = "@=";
    } else {
        out = '"' + escaped(name, kQuotes) + "\"=";
    }
    const QByteArray& data = value.data;
    if (isTextType(value.type) && data.size() >= 2 && data.size() % 2 == 0 &&
        data.endsWith(QByteArray(2, '\0'))) {
        if (value.type != REG_SZ)
            out += "str(" + QByteArray::number(value.type, 16) + "):";
        out += '"' + escaped(textOfData(data), kQuotes) + "\"\n";
        return out;
    }
    if (value.type == REG_DWORD && data.size() == 4) {
        out += "dword:" +
               QByteArray::number(qFromLittleEndian<quint32>(data.constData()), 16).rightJustified(8, '0') +
               '\n';
        return out;
    }
    out += value.type == REG_BINARY ? QByteArray("hex:") : "hex(" + QByteArray::number(value.type, 16) + "):";
    appendHex(&out, data, int(out.size()));
    out += '\n';
    return out;
}

RegValue toAnsi(const RegValue& stored) {
    if (!isTextType(stored.type) || stored.data.size() % 2 != 0)
        return stored;
    QByteArray bytes;
    bytes.reserve(stored.data.size() / 2);
    for (qsizetype i = 0; i + 1 < stored.data.size(); i += 2) {
        const quint16 unit = quint16(quint8(stored.data[i])) | quint16(quint8(stored.data[i + 1])) << 8;
        bytes.append(unit <= 0xFF ? char(unit) : '?');
    }
    return RegValue{stored.type, bytes};
}

RegValue fromAnsi(const RegValue& given) {
    if (!isTextType(given.type))
        return given;
    return RegValue{given.type, utf16Data(QString::fromLatin1(given.data), false)};
}

} // namespace tavimor::winereg
