// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegIndex.h"

#include "WineRegSyntax.h"

#include <cstring>

namespace tavimor {

namespace {

constexpr QByteArrayView kHeader = "WINE REGISTRY Version 2\n";

QByteArrayView trimmedLeft(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    return text;
}

QByteArrayView trimmedRight(QByteArrayView text) {
    while (!text.isEmpty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.chop(1);
    return text;
}

// toLower, done in place for the plain ASCII names nearly every key has.
QString lowered(QString text) {
    for (QChar& c : text) {
        if (c.unicode() >= 0x80)
            return std::move(text).toLower();
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() | 0x20);
    }
    return text;
}

} // namespace

std::optional<WineRegIndex> WineRegIndex::index(const QByteArray& bytes, QString* error, int* line) {
    const qsizetype size = bytes.size();
    QList<Block> list;
    QHash<QString, Ends> blocks;
    blocks.reserve(bytes.count("\n[") + 1);
    qsizetype headEnd = size;
    bool continued = false;
    QByteArray logical; // the hex value being read over several lines
    for (qsizetype at = 0; at < size;) {
        const qsizetype newline = bytes.indexOf('\n', at);
        const qsizetype next = newline < 0 ? size : newline + 1;
        const QByteArrayView body = trimmedRight(trimmedLeft(QByteArrayView(bytes).sliced(at, next - at)));
        // Hex data ending in a backslash goes on over the next line, as long as all before the
        // backslash is hex, as Wine reads it: a line that breaks the data ends the value there.
        if (std::exchange(continued, false)) {
            logical.chop(1);
            logical += body;
            continued = logical.endsWith('\\') &&
                        winereg::parseValueLine(QByteArrayView(logical).chopped(1)).has_value();
        } else if (at > 0 && body.startsWith('[')) {
            qsizetype end = 0;
            if (const std::optional<QString> path = winereg::unescaped(body.sliced(1), ']', &end)) {
                if (list.isEmpty())
                    headEnd = at;
                else
                    list.last().end = at;
                list.append(Block{at, size, -1});
                const qsizetype added = list.size() - 1;
                Ends& ends = blocks[lowered(std::move(*path))];
                if (ends.last >= 0)
                    list[ends.last].next = added;
                else
                    ends.first = added;
                ends.last = added;
            }
        } else if (body.endsWith('\\') && !list.isEmpty()) {
            QString name;
            const std::optional<qsizetype> data = winereg::dataStart(body, &name);
            if (data && body.sliced(*data).startsWith("hex") && winereg::parseValueLine(body.chopped(1))) {
                logical = body.toByteArray();
                continued = true;
            }
        }
        at = next;
    }
    std::optional<WineRegFile> head = WineRegFile::parse(bytes.left(headEnd), error, line);
    if (!head)
        return std::nullopt;
    WineRegIndex index(std::move(*head));
    index.m_bytes = bytes;
    index.m_blockList = std::move(list);
    index.m_blocks = std::move(blocks);
    return index;
}

std::optional<WineRegFile> WineRegIndex::keyAlone(const QByteArray& bytes, const QString& path) {
    const QByteArray line = "\n[" + winereg::escaped(path, "[]") + ']';
    if (bytes.size() < line.size())
        return std::nullopt;
    const char* const begin = bytes.constData();
    const char* const end = begin + bytes.size();
    // memchr for the rare '[' runs many times faster than a search for a two-byte needle.
    const auto nextKey = [&](const char* from) -> const char* {
        while (const void* found = std::memchr(from, '[', size_t(end - from))) {
            const char* bracket = static_cast<const char*>(found);
            if (bracket > begin && bracket[-1] == '\n')
                return bracket - 1;
            from = bracket + 1;
        }
        return end;
    };
    for (const char* at = nextKey(begin + 1); at != end; at = nextKey(at + 2)) {
        if (end - at < line.size() || qstrnicmp(at, line.constData(), size_t(line.size())))
            continue;
        QByteArray text = kHeader.toByteArray();
        const char* const next = nextKey(at + 2);
        text += QByteArrayView(at + 1, (next == end ? end : next + 1) - (at + 1));
        return WineRegFile::parse(text);
    }
    return std::nullopt;
}

bool WineRegIndex::hasKey(const QString& path) const {
    const QString lower = path.toLower();
    if (m_blocks.contains(lower))
        return true;
    if (m_parents.isEmpty() && !m_blocks.isEmpty()) {
        // The root, "", is the parent of every key.
        m_parents.insert(QString());
        for (auto it = m_blocks.constBegin(); it != m_blocks.constEnd(); ++it) {
            QString parent = it.key();
            for (qsizetype slash = parent.lastIndexOf(QLatin1Char('\\')); slash > 0;
                 slash = parent.lastIndexOf(QLatin1Char('\\'))) {
                parent.truncate(slash);
                if (m_parents.contains(parent))
                    break;
                m_parents.insert(parent);
            }
        }
    }
    return m_parents.contains(lower);
}

const WineRegFile* WineRegIndex::key(const QString& lowerPath) const {
    const auto parsed = m_parsed.constFind(lowerPath);
    if (parsed != m_parsed.constEnd())
        return &*parsed;
    const auto found = m_blocks.constFind(lowerPath);
    if (found == m_blocks.constEnd())
        return nullptr;
    QByteArray text = kHeader.toByteArray();
    for (qsizetype i = found->first; i >= 0; i = m_blockList[i].next) {
        text +=
            QByteArrayView(m_bytes).sliced(m_blockList[i].start, m_blockList[i].end - m_blockList[i].start);
        // A last line without its line end must not run on into the next block's key line.
        if (!text.endsWith('\n'))
            text += '\n';
    }
    return &*m_parsed.insert(lowerPath, *WineRegFile::parse(text));
}

std::optional<RegValue> WineRegIndex::value(const QString& keyPath, const QString& name) const {
    const QString lower = keyPath.toLower();
    const WineRegFile* file = key(lower);
    return file ? file->value(lower, name) : std::nullopt;
}

QStringList WineRegIndex::valueNames(const QString& keyPath) const {
    const QString lower = keyPath.toLower();
    const WineRegFile* file = key(lower);
    return file ? file->valueNames(lower) : QStringList();
}

bool WineRegIndex::isLink(const QString& path) const {
    const QString lower = path.toLower();
    const WineRegFile* file = key(lower);
    return file && file->isLink(lower);
}

} // namespace tavimor
