// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegPatchImport.h"

#include <QHash>

namespace tavimor {

namespace {

using Change = RegPatch::Change;

// Opens (or creates) the change's key, runs the operation on its handle and closes it.
template <typename F> long onKey(RegistryBackend& backend, const QString& keyPath, bool create, F operation) {
    HKEY key = 0;
    quint32 disposition = 0;
    const HKEY hive = RegPatch::hiveOf(keyPath);
    const QString subKey = RegPatch::subKeyOf(keyPath);
    long status = create ? backend.createKey(hive, subKey, KEY_TAVIMOR_ACCESS, &key, &disposition)
                         : backend.openKey(hive, subKey, KEY_TAVIMOR_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = operation(key);
    backend.closeKey(key);
    return status;
}

long put(RegistryBackend& backend, const QString& keyPath, const QString& name,
         const std::optional<RegValue>& value) {
    if (value)
        return onKey(backend, keyPath, true,
                     [&](HKEY key) { return backend.setValue(key, name, value->type, value->data); });
    const long status =
        onKey(backend, keyPath, false, [&](HKEY key) { return backend.deleteValue(key, name); });
    // A value that is not there is deleted already.
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

QString valueTitle(const QString& keyPath, const QString& name) {
    return keyPath + QLatin1Char('\\') + (name.isEmpty() ? QStringLiteral("@") : name);
}

} // namespace

std::optional<RegValue> readRegValue(RegistryBackend& backend, HKEY hive, const QString& keyPath,
                                     const QString& name) {
    HKEY key = 0;
    if (backend.openKey(hive, keyPath, KEY_TAVIMOR_ACCESS, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    quint32 size = 0;
    long status = backend.queryValue(key, name, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS)
        status = backend.queryValue(key, name, &value.type, &value.data, &size);
    backend.closeKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
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
            found = targetOf.insert(id, targets.size());
            targets.append({change.keyPath,
                            change.name,
                            {},
                            readRegValue(backend, RegPatch::hiveOf(change.keyPath),
                                         RegPatch::subKeyOf(change.keyPath), change.name)});
        }
        targets[*found].wanted =
            change.kind == Change::Kind::SetValue ? std::optional<RegValue>(change.value) : std::nullopt;
        ++(change.kind == Change::Kind::SetValue ? result.set : result.deleted);
    }

    const auto undo = [&](qsizetype count) {
        for (qsizetype i = count - 1; i >= 0; --i)
            put(backend, targets[i].keyPath, targets[i].name, targets[i].before);
    };
    for (const Change& change : patch.changes())
        if (change.kind == Change::Kind::CreateKey &&
            onKey(backend, change.keyPath, true, [](HKEY) { return ERROR_SUCCESS; }) != ERROR_SUCCESS)
            return fail(QStringLiteral("the key %1 could not be created in %2; no value was changed")
                            .arg(change.keyPath, backend.targetName()));
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const Target& target = targets[i];
        const long status = put(backend, target.keyPath, target.name, target.wanted);
        const std::optional<RegValue> now = readRegValue(backend, RegPatch::hiveOf(target.keyPath),
                                                         RegPatch::subKeyOf(target.keyPath), target.name);
        if (status != ERROR_SUCCESS || now != target.wanted) {
            undo(i + 1);
            return fail(QStringLiteral("%1 could not be %2 in %3; the values written before it were put back")
                            .arg(valueTitle(target.keyPath, target.name),
                                 target.wanted ? QStringLiteral("written") : QStringLiteral("deleted"),
                                 backend.targetName()));
        }
    }
    return result;
}

} // namespace tavimor
