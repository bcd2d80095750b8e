// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QElapsedTimer>
#include <QHash>
#include <optional>

namespace tavimor {

class WineRegTool;

// The keys of a file "wine reg export" wrote (version 5, UTF-16LE): values as wineserver holds
// them, by lower-case full key path and lower-case value name. nullopt for any other file.
using ExportedKeys = QHash<QString, QHash<QString, RegValue>>;
std::optional<ExportedKeys> parseRegExport(const QByteArray& bytes);

// Reads a running wineserver's registry a subtree at a time: one "reg export" answers every key
// and value below, where "reg query" would take a Wine process for each value. An answer is
// reused for a few seconds only, as long as a refresh takes, and dropped at every write.
class WineRegExportCache {
public:
    explicit WineRegExportCache(WineRegTool& tool)
        : m_tool(tool) {}

    // nullopt when the key is too near its hive's top to be exported cheaply: ask reg instead.
    std::optional<long> keyExists(const QString& path, bool* exists);
    // Values come as the ANSI registry functions give them.
    std::optional<long> readValue(const QString& path, const QString& name, RegValue* value);
    // The key's value names, in lower case as the export keeps them.
    std::optional<long> valueNames(const QString& path, QStringList* names);
    // After a write: the next read asks Wine again.
    void clear() { m_subtrees.clear(); }

private:
    struct Subtree {
        bool exists = false;
        bool unreadable = false;
        ExportedKeys keys;
        QElapsedTimer age;
    };
    // The subtree holding path, exported now or a moment ago; nullopt when path is too shallow.
    std::optional<long> subtree(const QString& path, const Subtree** found);

    WineRegTool& m_tool;
    QHash<QString, Subtree> m_subtrees; // by lower-case root path
};

} // namespace tavimor
