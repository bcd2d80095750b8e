// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegPatchImport.h"

#include "registry/MSDNRegistry.h"

#include <QHash>

namespace tavimor {

namespace {

using Change = RegPatch::Change;

QString valueTitle(const QString& keyPath, const QString& name) {
    return keyPath + QLatin1Char('\\') + (name.isEmpty() ? QStringLiteral("@") : name);
}

} // namespace

std::optional<RegValue> readRegValue(RegistryBackend& backend, HKEY hive, const QString& keyPath,
                                     const QString& name, QString* unread) {
    if (unread)
        unread->clear();
    const auto failed = [&](long status) -> std::optional<RegValue> {
        if (unread && !isNotThere(status))
            *unread = MSDNRegistry(backend).failureText(status);
        return std::nullopt;
    };
    HKEY key = 0;
    if (const long status = backend.openKey(hive, keyPath, KEY_TAVIMOR_ACCESS, &key))
        return failed(status);
    RegValue value;
    quint32 size = 0;
    long status = backend.queryValue(key, name, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS)
        status = backend.queryValue(key, name, &value.type, &value.data, &size);
    backend.closeKey(key);
    if (status != ERROR_SUCCESS)
        return failed(status);
    value.data.truncate(size);
    return value;
}

std::optional<RegImportResult> importRegPatch(RegistryBackend& backend, const RegPatch& patch,
                                              QString* error) {
    const auto fail = [error](const QString& text) -> std::optional<RegImportResult> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    // What each value is to hold at the end, and what it held before, in the order of the file.
    struct Target {
        QString keyPath;
        QString name;
        std::optional<RegValue> wanted;
        std::optional<RegValue> before;
    };
    QList<Target> targets;
    QHash<QString, qsizetype> targetOf;
    RegImportResult result;
    for (const Change& change : patch.changes()) {
        if (change.kind == Change::Kind::DeleteKey)
            return fail(
                QStringLiteral("line %1: [-%2] deletes a key, which is not imported; nothing was changed")
                    .arg(change.line)
                    .arg(change.keyPath));
        if (change.kind == Change::Kind::CreateKey) {
            ++result.keys;
            continue;
        }
        const QString id = change.keyPath.toLower() + QLatin1Char('\n') + change.name.toLower();
        auto found = targetOf.constFind(id);
        if (found == targetOf.constEnd()) {
            // What a value held is what a failure puts back: one that could not be read stops it all.
            QString unread;
            std::optional<RegValue> before =
                readRegValue(backend, RegPatch::hiveOf(change.keyPath), RegPatch::subKeyOf(change.keyPath),
                             change.name, &unread);
            if (!unread.isEmpty())
                return fail(QStringLiteral("%1 could not be read from %2: %3; nothing was changed")
                                .arg(valueTitle(change.keyPath, change.name), backend.targetName(), unread));
            found = targetOf.insert(id, targets.size());
            targets.append({change.keyPath, change.name, {}, std::move(before)});
        }
        targets[*found].wanted =
            change.kind == Change::Kind::SetValue ? std::optional<RegValue>(change.value) : std::nullopt;
        ++(change.kind == Change::Kind::SetValue ? result.set : result.deleted);
    }

    // Keys first, then the values: one batch, which a target may write at once.
    QList<RegChange> changes;
    QStringList keyPaths;
    for (const Change& change : patch.changes()) {
        if (change.kind != Change::Kind::CreateKey)
            continue;
        keyPaths.append(change.keyPath);
        changes.append({RegChange::Kind::CreateKey,
                        RegPatch::hiveOf(change.keyPath),
                        RegPatch::subKeyOf(change.keyPath),
                        {},
                        {}});
    }
    const auto changeOf = [](const QString& keyPath, const QString& name,
                             const std::optional<RegValue>& value) {
        return RegChange{value ? RegChange::Kind::SetValue : RegChange::Kind::DeleteValue,
                         RegPatch::hiveOf(keyPath), RegPatch::subKeyOf(keyPath), name,
                         value.value_or(RegValue{})};
    };
    for (const Target& target : targets)
        changes.append(changeOf(target.keyPath, target.name, target.wanted));
    qsizetype failed = 0;
    if (backend.applyChanges(changes, &failed) != ERROR_SUCCESS && failed < keyPaths.size())
        return fail(QStringLiteral("the key %1 could not be created in %2; no value was changed")
                        .arg(keyPaths[failed], backend.targetName()));
    for (const Target& target : targets) {
        const std::optional<RegValue> now = readRegValue(backend, RegPatch::hiveOf(target.keyPath),
                                                         RegPatch::subKeyOf(target.keyPath), target.name);
        if (now == target.wanted)
            continue;
        QList<RegChange> undo;
        for (const Target& earlier : targets)
            undo.append(changeOf(earlier.keyPath, earlier.name, earlier.before));
        backend.applyChanges(undo, nullptr);
        return fail(QStringLiteral("%1 could not be %2 in %3; the values written before it were put back")
                        .arg(valueTitle(target.keyPath, target.name),
                             target.wanted ? QStringLiteral("written") : QStringLiteral("deleted"),
                             backend.targetName()));
    }
    return result;
}

} // namespace tavimor
