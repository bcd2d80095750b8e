// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegFile.h"

#include "WineRegSyntax.h"

#include <QtNumeric>

namespace tavimor {

using namespace winereg;

namespace {

constexpr QByteArrayView kHeader = "WINE REGISTRY Version 2";
constexpr QByteArrayView kRootLine = ";; All keys relative to ";

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.chop(1);
    return text;
}

QByteArray lineEnd(const QByteArray& raw) {
    return raw.endsWith("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
}

QByteArray keyPathText(const QString& path) {
    static constexpr char kBrackets[2] = {'[', ']'};
    QByteArray out;
    const QStringList parts = path.split(QLatin1Char('\\'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += "\\\\";
        out += escaped(parts[i], kBrackets);
    }
    return out;
}

QByteArray timeLine(qint64 fileTime) {
    const quint64 t = quint64(fileTime);
    return "#time=" + QByteArray::number(t >> 32, 16) +
           QByteArray::number(t & 0xFFFFFFFFu, 16).rightJustified(8, '0') + '\n';
}

QByteArray secondsText(qint64 fileTime) {
    return QByteArray::number(quint32((fileTime - WineRegFile::kUnixEpochFileTime) / 10000000));
}

// The seconds after a key's closing bracket; a number no file time can hold counts as none.
qint64 keyLineTime(QByteArrayView seconds) {
    qint64 ticks = 0;
    qint64 time = 0;
    if (qMulOverflow(seconds.toLongLong(), qint64(10000000), &ticks) ||
        qAddOverflow(WineRegFile::kUnixEpochFileTime, ticks, &time))
        return WineRegFile::kUnixEpochFileTime;
    return time;
}

// A hex value cut off after its "\" at the end of the file would take in the next line written
// after it, and might then hide a value set earlier in its key.
bool continuesOnNextLine(const QByteArray& raw) {
    return trimmed(raw).endsWith('\\');
}

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
    return slash < 0 ? QString() : path.left(slash);
}

} // namespace

class WineRegFile::Parser {
public:
    Parser(const QByteArray& bytes, WineRegFile& file)
        : m_bytes(bytes)
        , m_file(file) {}

    bool run();

    QString error;
    int errorLine = 0;

private:
    bool nextLine(QByteArray* raw);
    void keyLine(QByteArrayView body, const QByteArray& raw);
    void optionLine(QByteArrayView body, const QByteArray& raw);
    void valueLine(QByteArrayView body, QByteArray raw);

    const QByteArray& m_bytes;
    WineRegFile& m_file;
    qsizetype m_pos = 0;
    int m_line = 0;
};

bool WineRegFile::Parser::nextLine(QByteArray* raw) {
    if (m_pos >= m_bytes.size())
        return false;
    const qsizetype newline = m_bytes.indexOf('\n', m_pos);
    const qsizetype next = newline < 0 ? m_bytes.size() : newline + 1;
    *raw = m_bytes.mid(m_pos, next - m_pos);
    m_pos = next;
    ++m_line;
    return true;
}

bool WineRegFile::Parser::run() {
    QByteArray raw;
    m_file.m_blocks = {Block{}};
    if (!nextLine(&raw) || trimmed(raw) != kHeader) {
        errorLine = 1;
        error = QStringLiteral("not a Wine registry file (no \"WINE REGISTRY Version 2\" line)");
        return false;
    }
    m_file.m_blocks[0].entries.append(Entry{Kind::Other, raw, {}, {}});
    while (nextLine(&raw)) {
        const QByteArrayView body = trimmed(raw);
        if (body.isEmpty()) {
            m_file.m_blocks.last().entries.append(Entry{Kind::Blank, raw, {}, {}});
        } else if (body.front() == '[') {
            keyLine(body, raw);
        } else if (body.front() == '#') {
            optionLine(body, raw);
        } else if ((body.front() == '"' || body.front() == '@') && m_file.m_blocks.last().isKey) {
            valueLine(body, raw);
        } else {
            if (body.startsWith(kRootLine) && m_file.m_blocks.size() == 1) {
                qsizetype end = 0;
                const QByteArray text = body.sliced(kRootLine.size()).toByteArray() + '\n';
                m_file.m_root = unescaped(text, '\n', &end).value_or(QString());
            }
            // Wine skips what it does not understand; so do we, and keep it.
            m_file.m_blocks.last().entries.append(Entry{Kind::Other, raw, {}, {}});
        }
    }
    return true;
}

void WineRegFile::Parser::keyLine(QByteArrayView body, const QByteArray& raw) {
    qsizetype end = 0;
    const std::optional<QString> path = unescaped(body.sliced(1), ']', &end);
    if (!path) {
        m_file.m_blocks.last().entries.append(Entry{Kind::Other, raw, {}, {}});
        return;
    }
    Block block;
    block.path = *path;
    block.isKey = true;
    block.keyLine = raw;
    block.time = keyLineTime(trimmed(body.sliced(end + 2)));
    m_file.m_blocks.append(block);
    const QString lower = block.path.toLower();
    m_file.addParents(lower);
    m_file.m_keys[lower].block = int(m_file.m_blocks.size() - 1);
}

void WineRegFile::Parser::optionLine(QByteArrayView body, const QByteArray& raw) {
    Block& block = m_file.m_blocks.last();
    Kind kind = Kind::Other;
    if (!block.isKey) {
        if (body.startsWith("#arch="))
            m_file.m_arch = QString::fromLatin1(trimmed(body.sliced(6)));
    } else if (body.startsWith("#time=")) {
        quint64 time = 0;
        for (const char c : body.sliced(6)) {
            const bool decimal = c >= '0' && c <= '9';
            const bool letter = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            if (!decimal && !letter)
                break;
            const int digit = decimal ? c - '0' : (c | 0x20) - 'a' + 10;
            time = time * 16 + quint64(digit);
        }
        block.time = qint64(time);
        kind = Kind::Time;
    } else if (body == "#link") {
        block.link = true;
        kind = Kind::Option;
    } else if (body.startsWith("#class=")) {
        kind = Kind::Option;
    }
    block.entries.append(Entry{kind, raw, {}, {}});
}

void WineRegFile::Parser::valueLine(QByteArrayView body, QByteArray raw) {
    QByteArray logical = body.toByteArray();
    QString name;
    const std::optional<qsizetype> start = dataStart(logical, &name);
    if (start && logical.sliced(*start).startsWith("hex")) {
        // Only hex data continues onto the next line, and only when all before the backslash is hex.
        QByteArray next;
        while (logical.endsWith('\\') && parseValueLine(QByteArrayView(logical).chopped(1)) &&
               nextLine(&next)) {
            logical.chop(1);
            logical += trimmed(next);
            raw += next;
        }
    }
    const std::optional<ParsedValue> parsed = parseValueLine(logical);
    Block& block = m_file.m_blocks.last();
    if (!parsed) {
        block.entries.append(Entry{Kind::Other, raw, {}, {}});
        return;
    }
    block.entries.append(Entry{Kind::Value, raw, parsed->name, parsed->value});
    Key& key = m_file.m_keys[block.path.toLower()];
    key.values.insert(parsed->name.toLower(),
                      EntryRef{int(m_file.m_blocks.size() - 1), int(block.entries.size() - 1)});
}

std::optional<WineRegFile> WineRegFile::parse(const QByteArray& bytes, QString* error, int* line) {
    WineRegFile file;
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

QByteArray WineRegFile::serialize() const {
    QByteArray out;
    for (const Block& block : m_blocks) {
        out += block.keyLine;
        for (const Entry& entry : block.entries)
            out += entry.raw;
    }
    return out;
}

void WineRegFile::addParents(const QString& lowerPath) {
    QString path = lowerPath;
    while (!path.isEmpty()) {
        path = parentOf(path);
        if (m_keys.contains(path))
            return;
        m_keys.insert(path, Key{});
    }
}

const WineRegFile::Key* WineRegFile::findKey(const QString& path) const {
    const auto it = m_keys.constFind(path.toLower());
    return it == m_keys.constEnd() ? nullptr : &*it;
}

bool WineRegFile::hasKey(const QString& path) const {
    return findKey(path) != nullptr;
}

int WineRegFile::appendBlock(const QString& path, qint64 fileTime) {
    // wineserver starts every key with an empty line.
    Block& last = m_blocks.last();
    const QByteArray tail = last.entries.isEmpty() ? last.keyLine : last.entries.last().raw;
    if (!tail.isEmpty() && !tail.endsWith('\n'))
        last.entries.append(Entry{Kind::Other, "\n", {}, {}});
    // A comment line is taken in instead; Wine and we then drop the cut-off value, as before.
    if (continuesOnNextLine(tail))
        last.entries.append(Entry{Kind::Other, ";\n", {}, {}});
    last.entries.append(Entry{Kind::Blank, "\n", {}, {}});
    Block block;
    block.path = path;
    block.isKey = true;
    block.keyLine = '[' + keyPathText(path) + "] " + secondsText(fileTime) + '\n';
    block.time = fileTime;
    block.entries.append(Entry{Kind::Time, timeLine(fileTime), {}, {}});
    m_blocks.append(block);
    const QString lower = path.toLower();
    addParents(lower);
    const int index = int(m_blocks.size() - 1);
    m_keys[lower].block = index;
    return index;
}

void WineRegFile::stamp(int index, qint64 fileTime) {
    Block& block = m_blocks[index];
    block.time = fileTime;
    // Keep the path as spelled; only the seconds after the closing bracket change.
    const qsizetype open = block.keyLine.indexOf('[');
    qsizetype close = 0;
    unescaped(QByteArrayView(block.keyLine).sliced(open + 1), ']', &close);
    block.keyLine =
        block.keyLine.left(open + close + 2) + ' ' + secondsText(fileTime) + lineEnd(block.keyLine);
    // Wine takes the last "#time=" of a key; a file may hold more than one.
    bool found = false;
    for (Entry& entry : block.entries) {
        if (entry.kind == Kind::Time) {
            entry.raw = timeLine(fileTime);
            found = true;
        }
    }
    if (found)
        return;
    block.entries.prepend(Entry{Kind::Time, timeLine(fileTime), {}, {}});
    for (auto& key : m_keys) {
        for (EntryRef& ref : key.values) {
            if (ref.block == index)
                ++ref.entry;
        }
    }
}

bool WineRegFile::createKey(const QString& path, qint64 fileTime, bool* created) {
    if (created)
        *created = false;
    if (hasKey(path))
        return true;
    if (path.isEmpty() || path.split(QLatin1Char('\\')).contains(QString()))
        return false;
    appendBlock(path, fileTime);
    if (created)
        *created = true;
    return true;
}

std::optional<RegValue> WineRegFile::value(const QString& keyPath, const QString& name) const {
    const Key* key = findKey(keyPath);
    if (!key)
        return std::nullopt;
    const auto it = key->values.constFind(name.toLower());
    if (it == key->values.constEnd())
        return std::nullopt;
    return m_blocks[it->block].entries[it->entry].value;
}

bool WineRegFile::setValue(const QString& keyPath, const QString& name, const RegValue& value,
                           qint64 fileTime) {
    const QString lower = keyPath.toLower();
    const auto found = m_keys.constFind(lower);
    if (found == m_keys.constEnd())
        return false;
    const int index = found->block >= 0 ? found->block : appendBlock(keyPath, fileTime);
    stamp(index, fileTime);
    Key& key = m_keys[lower];
    const auto it = key.values.constFind(name.toLower());
    if (it != key.values.constEnd()) {
        Entry& entry = m_blocks[it->block].entries[it->entry];
        entry.raw = valueText(entry.name, value);
        entry.value = value;
        return true;
    }
    // New values go after the key's other values and options, before its trailing blank lines.
    QList<Entry>& entries = m_blocks[index].entries;
    qsizetype at = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == Kind::Value || entries[i].kind == Kind::Time ||
            entries[i].kind == Kind::Option)
            at = i + 1;
    }
    // The last line of a file may lack its line end; ours must not run on from it.
    if (at > 0 && !entries[at - 1].raw.endsWith('\n'))
        entries.insert(at++, Entry{Kind::Other, "\n", {}, {}});
    entries.insert(at, Entry{Kind::Value, valueText(name, value), name, value});
    for (EntryRef& ref : key.values) {
        if (ref.block == index && ref.entry >= at)
            ++ref.entry;
    }
    key.values.insert(name.toLower(), EntryRef{index, int(at)});
    return true;
}

bool WineRegFile::removeValue(const QString& keyPath, const QString& name, qint64 fileTime) {
    bool removed = false;
    for (;;) {
        const Key* key = findKey(keyPath);
        if (!key || !key->values.contains(name.toLower())) {
            if (removed && key && key->block >= 0)
                stamp(key->block, fileTime);
            return removed;
        }
        const EntryRef ref = key->values.value(name.toLower());
        m_blocks[ref.block].entries.removeAt(ref.entry);
        removed = true;
        // Reading the text again rebuilds the index and brings up any older line of the same value.
        std::optional<WineRegFile> again = parse(serialize());
        if (!again)
            return true;
        *this = std::move(*again);
    }
}

std::optional<qint64> WineRegFile::modified(const QString& path) const {
    const Key* key = findKey(path);
    if (!key || key->block < 0)
        return std::nullopt;
    return m_blocks[key->block].time;
}

bool WineRegFile::isLink(const QString& path) const {
    const Key* key = findKey(path);
    return key && key->block >= 0 && m_blocks[key->block].link;
}

QStringList WineRegFile::keyPaths() const {
    QStringList paths;
    for (const Block& block : m_blocks) {
        if (block.isKey)
            paths.append(block.path);
    }
    return paths;
}

QStringList WineRegFile::valueNames(const QString& keyPath) const {
    QStringList names;
    for (const Block& block : m_blocks) {
        if (!block.isKey || block.path.compare(keyPath, Qt::CaseInsensitive) != 0)
            continue;
        for (const Entry& entry : block.entries) {
            if (entry.kind == Kind::Value && !names.contains(entry.name, Qt::CaseInsensitive))
                names.append(entry.name);
        }
    }
    return names;
}

} // namespace tavimor
