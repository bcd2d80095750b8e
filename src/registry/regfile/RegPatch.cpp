// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegPatch.h"

#include "RegEditSyntax.h"
#include "registry/MSDNRegistry.h"

#include <QHash>
#include <QStringDecoder>
#include <algorithm>

namespace tavimor {

using namespace regedit;

namespace {

constexpr QByteArrayView kHeader4 = "REGEDIT4";
constexpr QByteArrayView kHeader5 = "Windows Registry Editor Version 5.00";

QByteArrayView firstLine(QByteArrayView bytes) {
    const qsizetype newline = bytes.indexOf('\n');
    return trimmedRight(newline < 0 ? bytes : bytes.first(newline));
}

// The 1-based line of the first byte that is not UTF-8, or 0 when all of it is.
int badUtf8Line(const QByteArray& bytes) {
    int line = 1;
    for (const QByteArray& text : bytes.split('\n')) {
        QStringDecoder decoder(QStringConverter::Utf8);
        [[maybe_unused]] const QString decoded = decoder.decode(text);
        if (decoder.hasError())
            return line;
        ++line;
    }
    return 0;
}

bool isLatin1(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

QString upperHive(const QString& path) {
    const qsizetype slash = path.indexOf(QLatin1Char('\\'));
    return slash < 0 ? path.toUpper() : path.left(slash).toUpper() + path.mid(slash);
}

} // namespace

class RegPatch::Parser {
public:
    Parser(RegPatch& patch, RegText text, QString* error, int* line)
        : m_patch(patch)
        , m_text(text)
        , m_error(error)
        , m_errorLine(line) {}

    bool run(const QByteArray& bytes);

private:
    bool fail(int line, const QString& reason) {
        if (m_error)
            *m_error = reason;
        if (m_errorLine)
            *m_errorLine = line;
        return false;
    }
    // The text as UTF-8 and the format its header names.
    std::optional<QByteArray> decode(const QByteArray& bytes);
    bool nextLine(QByteArrayView* text) {
        if (m_next >= m_lines.size())
            return false;
        *text = trimmedRight(m_lines.at(m_next++));
        return true;
    }
    bool keyLine(QByteArrayView body);
    bool valueLine(QByteArrayView body);

    RegPatch& m_patch;
    RegText m_text;
    QString* m_error;
    int* m_errorLine;
    QList<QByteArray> m_lines;
    qsizetype m_next = 0;
    QString m_key;
    bool m_live = false;
};

std::optional<QByteArray> RegPatch::Parser::decode(const QByteArray& bytes) {
    QByteArray utf8;
    if (bytes.startsWith("\xFF\xFE")) {
        if (bytes.size() % 2 != 0) {
            fail(1, QStringLiteral("UTF-16 text with an odd number of bytes"));
            return std::nullopt;
        }
        QStringDecoder decoder(QStringConverter::Utf16LE);
        const QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
        utf8 = text.toUtf8();
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        utf8 = bytes.sliced(3);
    } else if (firstLine(bytes) == kHeader4) {
        // REGEDIT4 text is in the code page of Windows 95, 98 and Me; the registry layer reads it as Latin-1.
        utf8 = QString::fromLatin1(bytes).toUtf8();
    } else {
        utf8 = bytes;
    }
    const QByteArrayView header = firstLine(utf8);
    if (header == kHeader4) {
        m_patch.m_format = RegFormat::Regedit4;
    } else if (header == kHeader5) {
        m_patch.m_format = RegFormat::Version5;
    } else {
        fail(1, QStringLiteral("the first line is neither REGEDIT4 nor \"%1\"").arg(QLatin1String(kHeader5)));
        return std::nullopt;
    }
    if (const int bad = badUtf8Line(utf8)) {
        fail(bad, QStringLiteral("text that is not UTF-8 (or UTF-16 without its byte order mark)"));
        return std::nullopt;
    }
    return utf8;
}

bool RegPatch::Parser::run(const QByteArray& bytes) {
    const std::optional<QByteArray> utf8 = decode(bytes);
    if (!utf8)
        return false;
    m_lines = utf8->split('\n');
    // The last line end ends the last line; no empty line follows it, or hex data continued past the
    // end of the file would end there instead of being refused.
    if (m_lines.size() > 1 && m_lines.last().isEmpty())
        m_lines.removeLast();
    m_next = 1;
    QByteArrayView text;
    while (nextLine(&text)) {
        const QByteArrayView body = trimmedLeft(text);
        if (body.isEmpty() || body.front() == ';')
            continue;
        if (body.front() == '[') {
            if (!keyLine(body))
                return false;
        } else if (body.front() == '"' || body.front() == '@') {
            if (m_key.isEmpty())
                return fail(int(m_next), QStringLiteral("value line before any key"));
            if (!valueLine(body))
                return false;
        } else {
            return fail(int(m_next), QStringLiteral("unreadable line"));
        }
    }
    return true;
}

bool RegPatch::Parser::keyLine(QByteArrayView body) {
    const int line = int(m_next);
    QString why;
    const std::optional<KeyLine> parsed = readKeyLine(body, &why);
    if (!parsed)
        return fail(line, why);
    const QString path = upperHive(QString::fromUtf8(parsed->path));
    if (const QString fault = keyPathFault(path); !fault.isEmpty())
        return fail(line, fault);
    if (RegPatch::hiveOf(path) == 0)
        return fail(line, QStringLiteral("\"%1\" is not under HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
                                         "HKEY_LOCAL_MACHINE or HKEY_USERS")
                              .arg(path));
    if (path.split(QLatin1Char('\\')).contains(QString()))
        return fail(line, QStringLiteral("key name with an empty part"));
    m_key = path;
    m_live = !parsed->deletion;
    m_patch.m_changes.append(
        Change{m_live ? Change::Kind::CreateKey : Change::Kind::DeleteKey, path, {}, {}, line});
    return true;
}

bool RegPatch::Parser::valueLine(QByteArrayView body) {
    const int line = int(m_next);
    QString why;
    int offset = 0;
    const std::optional<ValueLine> parsed = readValueLine(
        body, [this](QByteArrayView* text) { return nextLine(text); }, &why, &offset);
    if (!parsed)
        return fail(line + offset, why);
    // regedit passes over the values of a key the file deletes.
    if (!m_live)
        return true;
    Change change{Change::Kind::SetValue, m_key, QString::fromUtf8(parsed->name), parsed->value, line};
    if (parsed->deletion) {
        change.kind = Change::Kind::DeleteValue;
        change.value = {};
    } else if ((change.value.type == REG_EXPAND_SZ || change.value.type == REG_MULTI_SZ ||
                (change.value.type == REG_SZ && !parsed->quoted)) &&
               m_patch.m_format == RegFormat::Version5 && m_text == RegText::Latin1) {
        // A version 5 file holds hex(1), hex(2) and hex(7) in UTF-16, the registry layer in Latin-1.
        const QByteArray& wide = change.value.data;
        QByteArray ansi;
        for (qsizetype i = 0; i + 1 < wide.size(); i += 2) {
            const quint16 unit = quint16(quint8(wide[i])) | quint16(quint8(wide[i + 1])) << 8;
            if (unit > 0xFF)
                return fail(line,
                            QStringLiteral("the text of \"%1\" has characters outside Latin-1, which the "
                                           "registry's code page cannot hold")
                                .arg(change.name));
            ansi.append(char(unit));
        }
        change.value.data = ansi;
    } else if (change.value.type == REG_SZ && parsed->quoted) {
        const QString text = QString::fromUtf8(QByteArrayView(change.value.data).chopped(1));
        if (m_text == RegText::Utf16) {
            change.value.data = QByteArray(reinterpret_cast<const char*>(text.utf16()),
                                           (text.size() + 1) * qsizetype(sizeof(char16_t)));
        } else if (!isLatin1(text)) {
            return fail(line, QStringLiteral("the text of \"%1\" has characters outside Latin-1, which the "
                                             "registry's code page cannot hold")
                                  .arg(change.name));
        } else {
            change.value.data = text.toLatin1() + '\0';
        }
    }
    m_patch.m_changes.append(change);
    return true;
}

std::optional<RegPatch> RegPatch::parse(const QByteArray& bytes, QString* error, int* line, RegText text) {
    RegPatch patch;
    if (!Parser(patch, text, error, line).run(bytes))
        return std::nullopt;
    return patch;
}

QByteArray RegPatch::serialize(RegFormat format) const {
    const bool unicode = format == RegFormat::Version5;
    // One block per key, in the order keys first appear; a deleted key is a block of its own.
    QList<QPair<QByteArray, QByteArray>> blocks; // key line, value lines (UTF-8)
    QHash<QString, qsizetype> blockOf;
    const auto encoded = [unicode](const QString& text) {
        return unicode ? text.toUtf8() : text.toLatin1();
    };
    for (const Change& change : m_changes) {
        const bool keyDeletion = change.kind == Change::Kind::DeleteKey;
        if ((keyDeletion || change.kind == Change::Kind::DeleteValue) && !unicode)
            continue;
        const QString id = (keyDeletion ? QStringLiteral("-") : QString()) + change.keyPath.toLower();
        auto found = blockOf.constFind(id);
        if (found == blockOf.constEnd() || keyDeletion) {
            found = blockOf.insert(id, blocks.size());
            blocks.append({'[' + QByteArray(keyDeletion ? "-" : "") + encoded(change.keyPath) + "]\r\n", {}});
        }
        QByteArray& lines = blocks[*found].second;
        if (change.kind == Change::Kind::DeleteValue) {
            lines += (change.name.isEmpty() ? QByteArray("@") : '"' + escaped(encoded(change.name)) + '"') +
                     "=-\r\n";
        } else if (change.kind == Change::Kind::SetValue) {
            RegValue value = change.value;
            if (unicode && value.type == REG_SZ) {
                value.data = QString::fromLatin1(value.data).toUtf8();
            } else if (unicode && (value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)) {
                // regedit of Windows 2000 and later writes hex(2) and hex(7) in UTF-16LE.
                QByteArray wide;
                for (const char c : std::as_const(value.data))
                    wide.append(c).append('\0');
                value.data = wide;
            }
            lines += valueText(QByteArrayView(encoded(change.name)), value);
        }
    }
    QByteArray text = (unicode ? kHeader5 : kHeader4).toByteArray() + "\r\n\r\n";
    for (const auto& [keyLine, values] : blocks)
        text += keyLine + values + "\r\n";
    if (!unicode)
        return text;
    const QString wide = QString::fromUtf8(text);
    return QByteArray("\xFF\xFE") +
           QByteArray(reinterpret_cast<const char*>(wide.utf16()), wide.size() * qsizetype(sizeof(char16_t)));
}

void RegPatch::createKey(const QString& keyPath) {
    m_changes.append(Change{Change::Kind::CreateKey, upperHive(keyPath), {}, {}, 0});
}

void RegPatch::setValue(const QString& keyPath, const QString& name, const RegValue& value) {
    m_changes.append(Change{Change::Kind::SetValue, upperHive(keyPath), name, value, 0});
}

void RegPatch::deleteValue(const QString& keyPath, const QString& name) {
    m_changes.append(Change{Change::Kind::DeleteValue, upperHive(keyPath), name, {}, 0});
}

HKEY RegPatch::hiveOf(const QString& keyPath) {
    return GetKeyValue(keyPath.section(QLatin1Char('\\'), 0, 0));
}

QString RegPatch::subKeyOf(const QString& keyPath) {
    const qsizetype slash = keyPath.indexOf(QLatin1Char('\\'));
    return slash < 0 ? QString() : keyPath.mid(slash + 1);
}

} // namespace tavimor
