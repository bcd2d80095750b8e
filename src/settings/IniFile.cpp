// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniFile.h"

#include <algorithm>
#include <cctype>

namespace tavimor {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isPlainKeyChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'-' || c == u'.';
}

// QSettings writes key and section names with %XX for anything but letters, digits and _-.
QByteArray escapedKey(const QString& key) {
    QByteArray out;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (isPlainKeyChar(u)) {
            out += char(u);
        } else if (u <= 0xFF) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(u >> shift) & 0xF];
        }
    }
    return out;
}

QString unescapedKey(QByteArrayView raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        bool ok = false;
        if (raw[i] == '%' && i + 5 < raw.size() + 0 && raw[i + 1] == 'U') {
            const uint u = raw.sliced(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(u));
                i += 5;
                continue;
            }
        } else if (raw[i] == '%' && i + 2 < raw.size()) {
            const uint u = raw.sliced(i + 1, 2).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(u));
                i += 2;
                continue;
            }
        }
        out += QLatin1Char(raw[i]);
    }
    return out;
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.chop(1);
    return text;
}

} // namespace

QByteArray IniFile::escapedValue(const QString& text) {
    const QByteArray utf8 = (text.startsWith(QLatin1Char('@')) ? QStringLiteral("@") + text : text).toUtf8();
    QByteArray out;
    bool quote = utf8.startsWith(' ') || utf8.endsWith(' ');
    bool afterHex = false;
    const auto hexEscape = [&out](uchar c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    };
    for (const char c : utf8) {
        // A hex digit right after \xHH would be read as part of the number.
        if (afterHex && std::isxdigit(uchar(c))) {
            hexEscape(uchar(c));
            continue;
        }
        afterHex = false;
        switch (c) {
        case ';':
        case ',':
        case '=':
            quote = true;
            out += c;
            break;
        case '"':
        case '\\':
            out += '\\';
            out += c;
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            if (uchar(c) < 0x20) {
                hexEscape(uchar(c));
                afterHex = true;
            } else {
                out += c;
            }
        }
    }
    return quote ? '"' + out + '"' : out;
}

std::optional<QString> IniFile::unescapedValue(QByteArrayView raw) {
    QByteArray out;
    bool quoted = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            switch (e) {
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'v':
                out += '\v';
                break;
            case '0':
                out += '\0';
                break;
            case 'x': {
                qsizetype end = i + 1;
                while (end < raw.size() && end < i + 5 && std::isxdigit(uchar(raw[end])))
                    ++end;
                const uint u = raw.sliced(i + 1, end - i - 1).toUInt(nullptr, 16);
                out += QString(QChar(char16_t(u))).toUtf8();
                i = end - 1;
                break;
            }
            default:
                out += e;
            }
        } else {
            out += c;
        }
    }
    if (quoted)
        return std::nullopt;
    QString text = QString::fromUtf8(out);
    if (text.startsWith(QLatin1String("@@")))
        text.remove(0, 1);
    return text;
}

std::optional<IniFile> IniFile::parse(const QByteArray& bytes, QString* error) {
    const auto fail = [error](int line, const QString& why) -> std::optional<IniFile> {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return std::nullopt;
    };
    if (!QByteArrayView(bytes).isValidUtf8())
        return fail(1, QStringLiteral("the text is not UTF-8"));
    IniFile file;
    const QByteArrayView text = bytes.startsWith("\xEF\xBB\xBF") ? QByteArrayView(bytes).sliced(3) : bytes;
    QString current = QStringLiteral("General");
    int number = 0;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype newline = text.indexOf('\n', at);
        const qsizetype end = newline < 0 ? text.size() : newline;
        const QByteArrayView line = trimmed(text.sliced(at, end - at));
        at = end + 1;
        ++number;
        if (line.isEmpty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.size() < 2 || line.back() != ']')
                return fail(number, QStringLiteral("a section line without its closing ]"));
            current = unescapedKey(trimmed(line.sliced(1, line.size() - 2)));
            file.section(current);
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            return fail(number, QStringLiteral("neither a setting (name=value) nor a [section]"));
        const QString key = unescapedKey(trimmed(line.first(equals)));
        const QByteArrayView raw = trimmed(line.sliced(equals + 1));
        if (!unescapedValue(raw))
            return fail(number, QStringLiteral("a value with an unterminated quote"));
        Section& section = file.section(current);
        const auto same = std::find_if(section.entries.begin(), section.entries.end(),
                                       [&key](const Entry& entry) { return entry.key == key; });
        if (same != section.entries.end())
            same->raw = raw.toByteArray();
        else
            section.entries.append(Entry{key, raw.toByteArray()});
    }
    return file;
}

QByteArray IniFile::serialize() const {
    QByteArray out;
    for (const Section& section : m_sections) {
        if (!out.isEmpty())
            out += '\n';
        out += '[' + escapedKey(section.name) + "]\n";
        for (const Entry& entry : section.entries)
            out += escapedKey(entry.key) + '=' + entry.raw + '\n';
    }
    return out;
}

IniFile::Section& IniFile::section(const QString& name) {
    for (Section& section : m_sections) {
        if (section.name == name)
            return section;
    }
    m_sections.append(Section{name, {}});
    return m_sections.last();
}

std::optional<QString> IniFile::value(const QString& sectionName, const QString& key) const {
    for (const Section& section : m_sections) {
        if (section.name != sectionName)
            continue;
        for (const Entry& entry : section.entries) {
            if (entry.key == key)
                return unescapedValue(entry.raw);
        }
    }
    return std::nullopt;
}

void IniFile::setValue(const QString& sectionName, const QString& key, const QString& text) {
    Section& target = section(sectionName);
    const QByteArray raw = escapedValue(text);
    for (Entry& entry : target.entries) {
        if (entry.key == key) {
            entry.raw = raw;
            return;
        }
    }
    target.entries.append(Entry{key, raw});
}

} // namespace tavimor
