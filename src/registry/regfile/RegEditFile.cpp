// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegEditFile.h"

#include "RegEditSyntax.h"

#include <algorithm>

namespace tavimor {

using namespace regedit;

namespace {

bool isLatin1(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

bool isWritableName(const QString& name) {
    return isLatin1(name) && !name.contains(QLatin1Char('\r')) && !name.contains(QLatin1Char('\n'));
}

// A leading '-' would read back as a deletion; a key the reader refuses could not be read back.
bool isWritablePath(const QString& path) {
    return !path.isEmpty() && isWritableName(path) && !path.startsWith(QLatin1Char('-')) &&
           keyPathFault(path).isEmpty();
}

} // namespace

class RegEditFile::Parser {
public:
    Parser(const QByteArray& bytes, RegEditFile& file)
        : m_bytes(bytes)
        , m_file(file) {}

    bool run();

    QString error;
    int errorLine = 0;

private:
    bool nextLine(QByteArray* raw, QByteArrayView* text);
    bool fail(int line, const QString& reason) {
        errorLine = line;
        error = reason;
        return false;
    }
    bool keyLine(QByteArrayView body, const QByteArray& raw);
    bool valueLine(QByteArrayView body, const QByteArray& raw);

    const QByteArray& m_bytes;
    RegEditFile& m_file;
    qsizetype m_pos = 0;
    int m_line = 0;
};

// The raw line keeps its line end; the text loses it and its trailing blanks.
bool RegEditFile::Parser::nextLine(QByteArray* raw, QByteArrayView* text) {
    if (m_pos >= m_bytes.size())
        return false;
    const qsizetype newline = m_bytes.indexOf('\n', m_pos);
    const qsizetype end = newline < 0 ? m_bytes.size() : newline;
    const qsizetype next = newline < 0 ? m_bytes.size() : newline + 1;
    *raw = m_bytes.mid(m_pos, next - m_pos);
    *text = trimmedRight(QByteArrayView(m_bytes).sliced(m_pos, end - m_pos));
    m_pos = next;
    ++m_line;
    return true;
}

bool RegEditFile::Parser::run() {
    QByteArray raw;
    QByteArrayView text;
    if (!nextLine(&raw, &text))
        return fail(1, QStringLiteral("missing REGEDIT4 header"));
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    if (text != "REGEDIT4")
        return fail(1, QStringLiteral("missing REGEDIT4 header"));
    m_file.m_blocks = {Block{}};
    m_file.m_blocks[0].entries.append(Entry{Kind::Other, raw, {}, {}});

    while (nextLine(&raw, &text)) {
        const QByteArrayView body = trimmedLeft(text);
        if (body.isEmpty() || body.front() == ';') {
            const Kind kind = body.isEmpty() ? Kind::Blank : Kind::Other;
            m_file.m_blocks.last().entries.append(Entry{kind, raw, {}, {}});
        } else if (body.front() == '[') {
            if (!keyLine(body, raw))
                return false;
        } else if (body.front() == '"' || body.front() == '@') {
            if (m_file.m_blocks.size() == 1)
                return fail(m_line, QStringLiteral("value line before any key"));
            if (!valueLine(body, raw))
                return false;
        } else {
            return fail(m_line, QStringLiteral("unreadable line"));
        }
    }
    return true;
}

bool RegEditFile::Parser::keyLine(QByteArrayView body, const QByteArray& raw) {
    QString why;
    const std::optional<KeyLine> parsed = readKeyLine(body, &why);
    if (!parsed)
        return fail(m_line, why);
    const bool deletion = parsed->deletion;
    const QByteArrayView inner = parsed->path;
    Block block;
    block.path = QString::fromLatin1(inner);
    if (const QString fault = keyPathFault(block.path); !fault.isEmpty())
        return fail(m_line, fault);
    block.live = !deletion;
    block.keyLine = raw;
    const QString lower = block.path.toLower();
    m_file.m_blocks.append(block);
    if (deletion) {
        m_file.removeKeyTree(lower);
    } else {
        m_file.addParents(lower);
        m_file.m_keys[lower].block = int(m_file.m_blocks.size() - 1);
    }
    return true;
}

bool RegEditFile::Parser::valueLine(QByteArrayView body, const QByteArray& raw) {
    const int first = m_line;
    Entry entry{Kind::Value, raw, {}, {}};
    QString why;
    int offset = 0;
    const std::optional<ValueLine> parsed = readValueLine(
        body,
        [this, &entry](QByteArrayView* text) {
            QByteArray next;
            if (!nextLine(&next, text))
                return false;
            entry.raw.append(next);
            return true;
        },
        &why, &offset);
    if (!parsed)
        return fail(first + offset, why);
    entry.name = QString::fromLatin1(parsed->name);
    entry.value = parsed->value;

    Block& block = m_file.m_blocks.last();
    Key* key = block.live ? &m_file.m_keys[block.path.toLower()] : nullptr;
    if (parsed->deletion) {
        entry.kind = Kind::Other;
        if (key)
            key->values.remove(entry.name.toLower());
    } else if (key) {
        key->values.insert(entry.name.toLower(),
                           EntryRef{int(m_file.m_blocks.size() - 1), int(block.entries.size())});
    }
    block.entries.append(entry);
    return true;
}

RegEditFile::RegEditFile() {
    Block preamble;
    preamble.entries.append(Entry{Kind::Other, QByteArrayLiteral("REGEDIT4\r\n"), {}, {}});
    m_blocks.append(preamble);
}

std::optional<RegEditFile> RegEditFile::parse(const QByteArray& bytes, QString* error, int* line) {
    RegEditFile file;
    Parser parser(bytes, file);
    if (!parser.run()) {
        if (error)
            *error = parser.error;
        if (line)
            *line = parser.errorLine;
        return std::nullopt;
    }
    return file;
}

QByteArray RegEditFile::serialize() const {
    qsizetype total = 0;
    for (const Block& block : m_blocks) {
        total += block.keyLine.size() + 2;
        for (const Entry& entry : block.entries)
            total += entry.raw.size() + 2;
    }
    QByteArray out;
    out.reserve(total);
    // Only the last line of a file read in can lack its line end; anything after it needs one.
    const auto put = [&out](const QByteArray& piece) {
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += "\r\n";
        out += piece;
    };
    for (const Block& block : m_blocks) {
        if (!block.keyLine.isEmpty())
            put(block.keyLine);
        for (const Entry& entry : block.entries)
            put(entry.raw);
    }
    return out;
}

bool RegEditFile::hasKey(const QString& path) const {
    if (path.isEmpty())
        return false;
    // A hive always exists.
    if (!path.contains(QLatin1Char('\\')))
        return true;
    return m_keys.contains(path.toLower());
}

bool RegEditFile::createKey(const QString& path) {
    if (hasKey(path))
        return true;
    if (!isWritablePath(path))
        return false;
    const QString lower = path.toLower();
    addParents(lower);
    const int block = appendBlock(path);
    m_keys[lower].block = block;
    return true;
}

std::optional<RegValue> RegEditFile::value(const QString& keyPath, const QString& name) const {
    const auto key = m_keys.constFind(keyPath.toLower());
    if (key == m_keys.constEnd())
        return std::nullopt;
    const auto ref = key->values.constFind(name.toLower());
    if (ref == key->values.constEnd())
        return std::nullopt;
    return m_blocks.at(ref->block).entries.at(ref->entry).value;
}

bool RegEditFile::setValue(const QString& keyPath, const QString& name, const RegValue& value) {
    if (!hasKey(keyPath) || !isWritableName(name))
        return false;
    const QString lower = keyPath.toLower();
    auto key = m_keys.find(lower);
    if (key == m_keys.end())
        key = m_keys.insert(lower, Key{});
    const QString lowerName = name.toLower();
    if (const auto ref = key->values.constFind(lowerName); ref != key->values.constEnd()) {
        Entry& entry = m_blocks[ref->block].entries[ref->entry];
        if (entry.value != value) {
            entry.value = value;
            entry.raw = valueText(entry.name, value);
        }
        return true;
    }
    if (key->block < 0) {
        if (!isWritablePath(keyPath))
            return false;
        key->block = appendBlock(keyPath);
    }
    // A new value goes after the block's last line that is not blank.
    Block& block = m_blocks[key->block];
    qsizetype at = block.entries.size();
    while (at > 0 && block.entries.at(at - 1).kind == Kind::Blank)
        --at;
    block.entries.insert(at, Entry{Kind::Value, valueText(name, value), name, value});
    key->values.insert(lowerName, EntryRef{key->block, int(at)});
    return true;
}

bool RegEditFile::removeValue(const QString& keyPath, const QString& name) {
    bool removed = false;
    for (;;) {
        const auto key = m_keys.constFind(keyPath.toLower());
        if (key == m_keys.constEnd())
            return removed;
        const auto ref = key->values.constFind(name.toLower());
        if (ref == key->values.constEnd())
            return removed;
        m_blocks[ref->block].entries.removeAt(ref->entry);
        removed = true;
        // Reading the text again rebuilds the index and brings up any older line of the same value.
        std::optional<RegEditFile> again = parse(serialize());
        if (!again)
            return true;
        *this = std::move(*again);
    }
}

QStringList RegEditFile::keyPaths() const {
    QStringList paths;
    for (int i = 0; i < m_blocks.size(); ++i) {
        const Block& block = m_blocks.at(i);
        if (!block.live)
            continue;
        const auto key = m_keys.constFind(block.path.toLower());
        if (key != m_keys.constEnd() && key->block == i)
            paths.append(block.path);
    }
    return paths;
}

QStringList RegEditFile::valueNames(const QString& keyPath) const {
    const auto key = m_keys.constFind(keyPath.toLower());
    if (key == m_keys.constEnd())
        return {};
    QList<EntryRef> refs = key->values.values();
    std::sort(refs.begin(), refs.end(), [](const EntryRef& a, const EntryRef& b) {
        return a.block != b.block ? a.block < b.block : a.entry < b.entry;
    });
    QStringList names;
    for (const EntryRef& ref : refs)
        names.append(m_blocks.at(ref.block).entries.at(ref.entry).name);
    return names;
}

void RegEditFile::addParents(const QString& lowerPath) {
    for (qsizetype at = lowerPath.indexOf(QLatin1Char('\\')); at >= 0;
         at = lowerPath.indexOf(QLatin1Char('\\'), at + 1))
        m_keys[lowerPath.left(at)];
}

void RegEditFile::removeKeyTree(const QString& lowerPath) {
    m_keys.remove(lowerPath);
    const QString prefix = lowerPath + QLatin1Char('\\');
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it.key().startsWith(prefix))
            it = m_keys.erase(it);
        else
            ++it;
    }
}

// New keys go at the end of the file, after a blank line.
int RegEditFile::appendBlock(const QString& path) {
    Block& last = m_blocks.last();
    if (last.entries.isEmpty() || last.entries.last().kind != Kind::Blank)
        last.entries.append(Entry{Kind::Blank, QByteArrayLiteral("\r\n"), {}, {}});
    Block block;
    block.path = path;
    block.live = true;
    block.keyLine = '[' + path.toLatin1() + "]\r\n";
    m_blocks.append(block);
    return int(m_blocks.size() - 1);
}

} // namespace tavimor
