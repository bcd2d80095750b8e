// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WineRegFile.h"

#include <QHash>
#include <QList>
#include <QSet>

namespace tavimor {

// A Wine registry file read as far as it is asked: the key lines are found up front, and the
// lines of a key are parsed the first time it is looked at. A fresh prefix's system.reg holds
// thousands of keys, of which a refresh needs a dozen. Answers as WineRegFile does.
class WineRegIndex {
public:
    // nullopt when the text is not a Wine registry file; *error gives the reason, *line the line.
    static std::optional<WineRegIndex> index(const QByteArray& bytes, QString* error = nullptr,
                                             int* line = nullptr);
    // One key of a file not worth indexing, found by its key line alone, as a file of its own;
    // nullopt when no key line names it. Links are not followed.
    static std::optional<WineRegFile> keyAlone(const QByteArray& bytes, const QString& path);

    const QByteArray& bytes() const { return m_bytes; }
    QString root() const { return m_head.root(); }
    QString architecture() const { return m_head.architecture(); }
    bool hasKey(const QString& path) const;
    std::optional<RegValue> value(const QString& keyPath, const QString& name) const;
    QStringList valueNames(const QString& keyPath) const;
    bool isLink(const QString& path) const;

private:
    explicit WineRegIndex(WineRegFile head)
        : m_head(std::move(head)) {}
    // The key's own lines, parsed; nullptr when it has none.
    const WineRegFile* key(const QString& lowerPath) const;

    QByteArray m_bytes;
    WineRegFile m_head; // the lines before the first key
    struct Block {
        qsizetype start = 0;
        qsizetype end = 0;
        qsizetype next = -1; // the key's next block
    };
    QList<Block> m_blockList;
    struct Ends {
        qsizetype first = -1;
        qsizetype last = -1;
    };
    QHash<QString, Ends> m_blocks;   // by lower-case path
    mutable QSet<QString> m_parents; // made at the first question for a key with no lines of its own
    mutable QHash<QString, WineRegFile> m_parsed;
};

} // namespace tavimor
