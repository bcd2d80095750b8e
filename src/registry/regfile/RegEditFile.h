// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tavimor {

// A registry file in the REGEDIT4 text format that regedit imports, kept line by line so that
// whatever the program does not change is written back exactly as it was read. Text is 8-bit:
// names and paths travel as Latin-1.
class RegEditFile {
public:
    // A file holding the header line alone.
    RegEditFile();

    // nullopt when the text cannot be read; then *error gives the reason and *line the 1-based line.
    static std::optional<RegEditFile> parse(const QByteArray& bytes, QString* error = nullptr,
                                            int* line = nullptr);
    QByteArray serialize() const;

    // Paths are full ("HKEY_CURRENT_USER\Software"); paths and value names are compared without
    // regard to case. The default value has the name "".
    bool hasKey(const QString& path) const;
    // Creates the key, and its parents implicitly; false when the path cannot be written in the file.
    bool createKey(const QString& path);
    std::optional<RegValue> value(const QString& keyPath, const QString& name) const;
    // false when the key does not exist or the name cannot be written in the file.
    bool setValue(const QString& keyPath, const QString& name, const RegValue& value);
    // Removes the value's lines, an older line of the same value too; every other line stays as it
    // was. false when the key has no such value.
    bool removeValue(const QString& keyPath, const QString& name);

    // Keys that have lines in the file, in file order, spelled as there.
    QStringList keyPaths() const;
    // The key's values in file order, spelled as there.
    QStringList valueNames(const QString& keyPath) const;

private:
    enum class Kind : quint8 { Blank, Other, Value };
    struct Entry {
        Kind kind = Kind::Other;
        QByteArray raw; // the exact text, continuation lines and line ends included
        QString name;
        RegValue value;
    };
    struct Block {
        QString path;      // empty for the lines before the first key
        bool live = false; // false for the preamble and for deletions "[-KEY]"
        QByteArray keyLine;
        QList<Entry> entries;
    };
    struct EntryRef {
        int block = 0;
        int entry = 0;
    };
    struct Key {
        int block = -1;                  // the key's last block; -1 while it exists only as a parent
        QHash<QString, EntryRef> values; // by lower-case name
    };

    class Parser;

    void addParents(const QString& lowerPath);
    void removeKeyTree(const QString& lowerPath);
    int appendBlock(const QString& path);

    QList<Block> m_blocks;
    QHash<QString, Key> m_keys; // by lower-case path
};

} // namespace tavimor
