// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegIndex.h"

#include "WineRegSyntax.h"

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

} // namespace

std::optional<WineRegIndex> WineRegIndex::index(const QByteArray& bytes, QString* error, int* line) {
    const qsizetype size = bytes.size();
    std::optional<std::pair<QString, qsizetype>> open; // the block being read: its path and start
    qsizetype headEnd = size;
    QHash<QString, QList<std::pair<qsizetype, qsizetype>>> blocks;
    bool continued = false;
    for (qsizetype at = 0; at < size;) {
        const qsizetype newline = bytes.indexOf('\n', at);
        const qsizetype next = newline < 0 ? size : newline + 1;
        const QByteArrayView body = trimmedRight(trimmedLeft(QByteArrayView(bytes).sliced(at, next - at)));
        // Hex data ending in a backslash goes on over the next line, whatever that line holds.
        const bool continuation = std::exchange(continued, false);
        if (!continuation && at > 0 && body.startsWith('[')) {
            qsizetype end = 0;
            if (const std::optional<QString> path = winereg::unescaped(body.sliced(1), ']', &end)) {
                if (open)
                    blocks[open->first].append({open->second, at});
                else
                    headEnd = at;
                open = std::pair{path->toLower(), at};
            }
        } else if (body.endsWith('\\') && open) {
            QString name;
            const std::optional<qsizetype> data =
                continuation ? std::optional<qsizetype>(0) : winereg::dataStart(body, &name);
            continued = continuation || (data && body.sliced(*data).startsWith("hex"));
        }
        at = next;
    }
    if (open)
        blocks[open->first].append({open->second, size});
    std::optional<WineRegFile> head = WineRegFile::parse(bytes.left(headEnd), error, line);
    if (!head)
        return std::nullopt;
    WineRegIndex index(std::move(*head));
    index.m_bytes = bytes;
    for (auto it = blocks.constBegin(); it != blocks.constEnd(); ++it) {
        for (QString path = it.key(); !index.m_keys.contains(path);) {
            index.m_keys.insert(path);
            const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
            if (slash < 0)
                break;
            path.truncate(slash);
        }
    }
    // The root, "", is the parent of every key.
    if (!blocks.isEmpty())
        index.m_keys.insert(QString());
    index.m_blocks = std::move(blocks);
    return index;
}

const WineRegFile* WineRegIndex::key(const QString& lowerPath) const {
    const auto parsed = m_parsed.constFind(lowerPath);
    if (parsed != m_parsed.constEnd())
        return &*parsed;
    const auto found = m_blocks.constFind(lowerPath);
    if (found == m_blocks.constEnd())
        return nullptr;
    QByteArray text = kHeader.toByteArray();
    for (const auto& [start, end] : *found) {
        text += QByteArrayView(m_bytes).sliced(start, end - start);
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

bool WineRegIndex::isLink(const QString& path) const {
    const QString lower = path.toLower();
    const WineRegFile* file = key(lower);
    return file && file->isLink(lower);
}

} // namespace tavimor
