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

// One of a Wine prefix's registry files (user.reg, system.reg) in the text format wineserver
// saves, kept line by line so that whatever the program does not change is written back exactly.
// Paths are relative to the file's root ("Software\Wine", "" for the root itself) and compared
// without regard to case. Values are held as wineserver holds them: strings in UTF-16LE.
class WineRegFile {
public:
    static constexpr qint64 kUnixEpochFileTime = 116444736000000000LL;

    // nullopt when the text is not a Wine registry file; *error gives the reason, *line the line.
    static std::optional<WineRegFile> parse(const QByteArray& bytes, QString* error = nullptr,
                                            int* line = nullptr);
    QByteArray serialize() const;

    // The key the paths are relative to, as the ";; All keys relative to" line gives it.
    QString root() const { return m_root; }
    // The "#arch=" the file names, "" when none.
    QString architecture() const { return m_arch; }

    bool hasKey(const QString& path) const;
    // Creates the key and its missing parents, stamped with fileTime (100 ns units since 1601).
    bool createKey(const QString& path, qint64 fileTime, bool* created = nullptr);
    std::optional<RegValue> value(const QString& keyPath, const QString& name) const;
    // false when the key does not exist; the key's time becomes fileTime.
    bool setValue(const QString& keyPath, const QString& name, const RegValue& value, qint64 fileTime);
    // Removes the value's lines, older duplicates too, and stamps the key with fileTime as
    // wineserver does; false when the key has no such value.
    bool removeValue(const QString& keyPath, const QString& name, qint64 fileTime);
    // The key's last change as its "#time=" line gives it.
    std::optional<qint64> modified(const QString& path) const;
    bool isLink(const QString& path) const;

    // Keys that have lines in the file, in file order, spelled as there.
    QStringList keyPaths() const;
    QStringList valueNames(const QString& keyPath) const;

private:
    enum class Kind : quint8 { Blank, Other, Time, Option, Value };
    struct Entry {
        Kind kind = Kind::Other;
        QByteArray raw; // the exact text, continuation lines and line ends included
        QString name;
        RegValue value;
    };
    struct Block {
        QString path;
        bool isKey = false; // false for the lines before the first key
        bool link = false;
        qint64 time = 0;
        QByteArray keyLine;
        QList<Entry> entries;
    };
    struct EntryRef {
        int block = 0;
        int entry = 0;
    };
    struct Key {
        int block = -1; // the key's last block; -1 while it exists only as a parent
        QHash<QString, EntryRef> values;
    };

    class Parser;

    void addParents(const QString& lowerPath);
    int appendBlock(const QString& path, qint64 fileTime);
    void stamp(int block, qint64 fileTime);
    const Key* findKey(const QString& path) const;

    QList<Block> m_blocks;
    QHash<QString, Key> m_keys; // by lower-case path
    QString m_root;
    QString m_arch;
};

} // namespace tavimor
