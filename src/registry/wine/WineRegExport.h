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
// reused for a few seconds only, as long as a refresh takes, and dropped at every write. An export
// that fails answers every read below it with that failure for as long: a Wine that hangs costs
// one time limit per refresh, not one per value.
class WineRegExportCache {
public:
    explicit WineRegExportCache(WineRegTool& tool)
        : m_tool(tool) {}

    // Exports, side by side, the nearest common key of the paths of each hive that no export of a
    // moment ago holds, so that reading them takes no Wine process of its own.
    void prepare(const QStringList& paths);
    // nullopt when no export holds path and it is too near its hive's top to be exported cheaply:
    // ask reg instead. A failure's words are in lastError().
    std::optional<long> keyExists(const QString& path, bool* exists);
    // Values come as the ANSI registry functions give them.
    std::optional<long> readValue(const QString& path, const QString& name, RegValue* value);
    // The key's value names, in lower case as the export keeps them.
    std::optional<long> valueNames(const QString& path, QStringList* names);
    // The value as an export of a moment ago holds it, without asking Wine; nullopt when none holds
    // its key, or it could not be read.
    std::optional<std::optional<RegValue>> held(const QString& path, const QString& name) const;
    // After a write below these paths: the exports holding them are dropped, and the next read or
    // prepare below one exports its root again, so a read-back answers what the read before it did.
    void forget(const QStringList& paths);
    // After reg reported a value written (or deleted, with no value) in a key an export of a moment
    // ago holds: that export holds it so too. false when none holds the key; then forget it.
    bool noteWritten(const QString& path, const QString& name, const std::optional<RegValue>& value);
    QString lastError() const { return m_lastError; }

private:
    struct Subtree {
        QString root;                // as exported
        long status = ERROR_SUCCESS; // the export's failure, answered for every key below
        QString error;
        bool exists = false;
        bool unreadable = false; // our reader did not take it: ask reg instead
        ExportedKeys keys;
        QElapsedTimer age;
    };
    // The export of a moment ago whose root is path or one of its ancestors; nullptr when none.
    const Subtree* holding(const QString& path) const;
    // The root of a dropped export that held path; "" when none.
    QString staleRoot(const QString& path) const;
    // The subtree holding path, exported now or a moment ago; nullopt when path is too shallow.
    std::optional<long> subtree(const QString& path, const Subtree** found);
    void exportRoots(const QStringList& roots);

    WineRegTool& m_tool;
    QHash<QString, Subtree> m_subtrees; // by lower-case root path
    QHash<QString, QString> m_stale;    // roots of dropped exports, by lower-case root path
    QString m_lastError;
};

} // namespace tavimor
