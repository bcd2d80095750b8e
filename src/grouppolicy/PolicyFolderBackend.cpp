// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyFolderBackend.h"

#include "base/FileLock.h"
#include "registry/hive/HiveFiles.h"
#include "registry/wine/WineRegSyntax.h"

#include <QDir>
#include <QFileInfo>

namespace tavimor {

namespace {

constexpr int kLockTimeoutMs = 3000;

const char kOnlyTwoHives[] = "a Group Policy file holds HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE values only";

} // namespace

void PolicyFolderBackend::editFile(PolFile& file, const QString& key, const Edit& change) {
    // A stated deletion and a soft value are records of their own, as a client is to apply them.
    const bool stated = change.mark == RegChange::Mark::Stated;
    switch (change.kind) {
    case RegChange::Kind::SetValue:
        if (change.mark != RegChange::Mark::Soft)
            file.setRecord(key, change.name, winereg::fromAnsi(change.value));
        else if (!file.valueOf(key, change.name))
            file.setRecord(key, QStringLiteral("**soft.") + change.name, winereg::fromAnsi(change.value));
        break;
    case RegChange::Kind::DeleteValue:
        if (stated) {
            const PolRecord deletion = PolRecord::deletion(key, change.name);
            file.setRecord(key, deletion.valueName, {deletion.type, deletion.data});
        } else {
            file.removeRecords(key, change.name);
        }
        break;
    case RegChange::Kind::DeleteValues:
        // Every record of the key's values goes, the commands for them too; its sub-keys stay.
        file.records.removeIf([&](const PolRecord& record) {
            const QString& name = record.valueName;
            return record.key.compare(key, Qt::CaseInsensitive) == 0 &&
                   (!name.startsWith(QLatin1String("**")) ||
                    name.startsWith(QLatin1String("**del."), Qt::CaseInsensitive) ||
                    name.startsWith(QLatin1String("**soft."), Qt::CaseInsensitive) ||
                    name.compare(QLatin1String("**delvals."), Qt::CaseInsensitive) == 0);
        });
        if (stated)
            file.records.append({key, QStringLiteral("**delvals."), REG_SZ, QByteArray(" \0\0\0", 4)});
        break;
    case RegChange::Kind::CreateKey:
        break;
    }
}

std::unique_ptr<PolicyFolderBackend> PolicyFolderBackend::open(const QString& folder, const QString& name,
                                                               bool mustExist, QString* error) {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        *error = QStringLiteral("%1 is not a folder.").arg(folder);
        return nullptr;
    }
    if (!info.exists() && mustExist) {
        *error = QStringLiteral("The folder %1 does not exist.").arg(info.absoluteFilePath());
        return nullptr;
    }
    std::unique_ptr<PolicyFolderBackend> backend(new PolicyFolderBackend(info.absoluteFilePath(), name));
    if (const QString unread = backend->unreadable(); !unread.isEmpty()) {
        *error = unread;
        return nullptr;
    }
    return backend;
}

QString PolicyFolderBackend::unreadable() {
    for (const PolScope scope : kPolScopes)
        if (load(scope) != ERROR_SUCCESS)
            return m_lastError;
    return QString();
}

WindowsVersion PolicyFolderBackend::windowsVersion() {
    return {2, 5, 0, 0, QStringLiteral("Group Policy")};
}

std::optional<PolicyFolderBackend::Place> PolicyFolderBackend::place(const QString& fullPath) const {
    if (const std::optional<QString> key = pathBelow(fullPath, tavimor::hiveName(PolScope::User)))
        return Place{PolScope::User, *key};
    if (const std::optional<QString> key = pathBelow(fullPath, tavimor::hiveName(PolScope::Machine)))
        return Place{PolScope::Machine, *key};
    return std::nullopt;
}

long PolicyFolderBackend::load(PolScope scope) {
    Loaded& loaded = m_loaded[polIndex(scope)];
    const std::optional<FileStamp> stamp = fileStamp(m_folder.filePath(scope));
    if (!loaded.read || loaded.stamp != stamp) {
        loaded.read = true;
        loaded.stamp = stamp;
        std::optional<PolFile> file = m_folder.readFile(scope, &loaded.error);
        loaded.status = file ? ERROR_SUCCESS : ERROR_BADDB;
        loaded.file = file ? std::move(*file) : PolFile();
    }
    if (loaded.status != ERROR_SUCCESS)
        m_lastError = loaded.error;
    return loaded.status;
}

long PolicyFolderBackend::storeKeyExists(const QString& path, bool* exists) {
    *exists = false;
    const std::optional<Place> at = place(path);
    if (!at)
        return ERROR_SUCCESS;
    if (const long status = load(at->scope))
        return status;
    *exists = at->key.isEmpty() || m_loaded[polIndex(at->scope)].file.hasKey(at->key) ||
              std::any_of(m_madeKeys.cbegin(), m_madeKeys.cend(),
                          [&](const QString& made) { return pathBelow(made, path).has_value(); });
    return ERROR_SUCCESS;
}

long PolicyFolderBackend::storeCreateKey(const QString& path, bool* created) {
    *created = false;
    if (!place(path)) {
        m_lastError = QLatin1String(kOnlyTwoHives);
        return ERROR_ACCESS_DENIED;
    }
    bool exists = false;
    if (const long status = storeKeyExists(path, &exists))
        return status;
    // A key holds nothing in a policy file until a value is set in it.
    if (!exists)
        m_madeKeys.append(path);
    *created = !exists;
    return ERROR_SUCCESS;
}

long PolicyFolderBackend::storeReadValue(const QString& path, const QString& name, RegValue* value) {
    const std::optional<Place> at = place(path);
    if (!at)
        return ERROR_FILE_NOT_FOUND;
    if (const long status = load(at->scope))
        return status;
    const std::optional<RegValue> found = m_loaded[polIndex(at->scope)].file.valueOf(at->key, name);
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    if (textBeyondLatin1(*found)) {
        m_lastError = textBeyondLatin1Reason(
            QStringLiteral("%1\\%2 in %3").arg(path, name, m_folder.filePath(at->scope)));
        return ERROR_CANTREAD;
    }
    *value = winereg::toAnsi(*found);
    return ERROR_SUCCESS;
}

long PolicyFolderBackend::storeValueNames(const QString& path, QStringList* names) {
    const std::optional<Place> at = place(path);
    if (!at)
        return ERROR_FILE_NOT_FOUND;
    // The key's check loads the policy file.
    bool exists = false;
    if (const long status = storeKeyExists(path, &exists))
        return status;
    if (!exists)
        return ERROR_FILE_NOT_FOUND;
    *names = m_loaded[polIndex(at->scope)].file.valueNames(at->key);
    return ERROR_SUCCESS;
}

long PolicyFolderBackend::storeWriteValue(const QString& path, const QString& name, const RegValue& value) {
    qsizetype made = 0;
    return edit({{path, name, RegChange::Kind::SetValue, value}}, &made);
}

long PolicyFolderBackend::storeDeleteValue(const QString& path, const QString& name) {
    const std::optional<Place> at = place(path);
    if (!at)
        return ERROR_FILE_NOT_FOUND;
    if (const long status = load(at->scope))
        return status;
    if (m_loaded[polIndex(at->scope)].file.recordFor(at->key, name) < 0)
        return ERROR_FILE_NOT_FOUND;
    qsizetype made = 0;
    return edit({{path, name, RegChange::Kind::DeleteValue, {}}}, &made);
}

long PolicyFolderBackend::applyChanges(const QList<RegChange>& changes, qsizetype* failed) {
    QList<Edit> edits;
    long refused = ERROR_SUCCESS;
    for (const RegChange& change : changes) {
        const QString hive = hiveName(change.hive);
        const std::optional<QString> path = joinPath(hive, change.subKey);
        if (hive.isEmpty() || !path) {
            refused = hive.isEmpty() ? ERROR_INVALID_HANDLE : ERROR_BAD_PATHNAME;
            break;
        }
        edits.append({*path, change.name, change.kind, change.value, change.mark});
    }
    qsizetype made = 0;
    const long status = edits.isEmpty() ? ERROR_SUCCESS : edit(edits, &made);
    if (status == ERROR_SUCCESS && refused == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    if (failed)
        *failed = made;
    return status != ERROR_SUCCESS ? status : refused;
}

long PolicyFolderBackend::edit(const QList<Edit>& edits, qsizetype* made) {
    *made = 0;
    if (!QDir().mkpath(m_folder.folder())) {
        m_lastError = QStringLiteral("cannot make the folder %1").arg(m_folder.folder());
        return ERROR_CANTWRITE;
    }
    FileLock lock(m_folder.lockPath());
    if (!lock.tryLock(kLockTimeoutMs, &m_lastError))
        return ERROR_CANTWRITE;
    // What another program wrote a moment ago counts, whatever the file's stamp says.
    for (Loaded& loaded : m_loaded)
        loaded.read = false;
    std::array<std::optional<PolFile>, 2> files;
    long status = ERROR_SUCCESS;
    qsizetype i = 0;
    for (; i < edits.size(); ++i) {
        const Edit& change = edits[i];
        const std::optional<Place> at = place(change.path);
        if (!at) {
            m_lastError = QLatin1String(kOnlyTwoHives);
            status = ERROR_ACCESS_DENIED;
            break;
        }
        std::optional<PolFile>& file = files[polIndex(at->scope)];
        if (!file) {
            if ((status = load(at->scope)) != ERROR_SUCCESS)
                break;
            file = m_loaded[polIndex(at->scope)].file;
        }
        editFile(*file, at->key, change);
        if (change.kind == RegChange::Kind::CreateKey && !file->hasKey(at->key))
            m_madeKeys.append(change.path);
    }
    PolicyCommit commit(m_folder, gptUpdate());
    std::array<bool, 2> holdsRecords{};
    for (const PolScope scope : kPolScopes) {
        const std::optional<PolFile>& file = files[polIndex(scope)];
        holdsRecords[polIndex(scope)] = file && !file->records.isEmpty();
        if (file && file->records != m_loaded[polIndex(scope)].file.records)
            commit.setFile(scope, file->serialize());
    }
    if (commit.changes(PolScope::User) || commit.changes(PolScope::Machine)) {
        QString why;
        if (!publish(commit, holdsRecords, &why)) {
            m_lastError = why;
            return ERROR_CANTWRITE;
        }
        for (const PolScope scope : kPolScopes)
            if (commit.changes(scope)) {
                Loaded& loaded = m_loaded[polIndex(scope)];
                loaded = {
                    true, fileStamp(m_folder.filePath(scope)), *files[polIndex(scope)], ERROR_SUCCESS, {}};
            }
    }
    *made = i;
    return status;
}

bool PolicyFolderBackend::publish(PolicyCommit& commit, const std::array<bool, 2>&, QString* error) {
    return commit.prepare(std::nullopt, error) && commit.write(error);
}

} // namespace tavimor
