// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalPolicyBackend.h"

#include "PolicyCommit.h"
#include "base/FileLock.h"
#include "registry/KeyStoreBackend.h"
#include "registry/hive/HiveFiles.h"
#include "registry/wine/WineRegSyntax.h"

#include <QFileInfo>

namespace tavimor {

namespace {

constexpr int kLockTimeoutMs = 3000;

struct Place {
    PolScope scope;
    QString key;
};

std::optional<Place> placeOf(const QString& path) {
    for (const PolScope scope : kPolScopes)
        if (const std::optional<QString> key = pathBelow(path, hiveName(scope)))
            return Place{scope, *key};
    return std::nullopt;
}

} // namespace

void LocalPolicyBackend::remember(HKEY parent, const QString& subKey, long status, const HKEY* handle) {
    const QString base = m_paths.value(parent, KeyStoreBackend::hiveName(parent));
    if (status == ERROR_SUCCESS && handle && !base.isEmpty())
        if (const std::optional<QString> path = KeyStoreBackend::joinPath(base, subKey))
            m_paths.insert(*handle, *path);
}

long LocalPolicyBackend::openKey(HKEY key, const QString& subKey, quint32 access, HKEY* result) {
    const long status = m_registry->openKey(key, subKey, access, result);
    remember(key, subKey, status, result);
    return status;
}

long LocalPolicyBackend::createKey(HKEY key, const QString& subKey, quint32 access, HKEY* result,
                                   quint32* disposition) {
    const long status = m_registry->createKey(key, subKey, access, result, disposition);
    remember(key, subKey, status, result);
    return status;
}

long LocalPolicyBackend::closeKey(HKEY key) {
    m_paths.remove(key);
    return m_registry->closeKey(key);
}

long LocalPolicyBackend::setValue(HKEY key, const QString& name, quint32 type, const QByteArray& data) {
    m_lastError.clear();
    std::unique_ptr<PolicyCommit> commit;
    const QString path = m_paths.value(key, KeyStoreBackend::hiveName(key));
    if (const long status = writePolicy({{path, name, RegChange::Kind::SetValue, {type, data}}}, &commit))
        return status;
    const long status = m_registry->setValue(key, name, type, data);
    if (status != ERROR_SUCCESS && commit)
        commit->undo();
    return status;
}

long LocalPolicyBackend::deleteValue(HKEY key, const QString& name) {
    m_lastError.clear();
    std::unique_ptr<PolicyCommit> commit;
    const QString path = m_paths.value(key, KeyStoreBackend::hiveName(key));
    if (const long status = writePolicy({{path, name, RegChange::Kind::DeleteValue, {}}}, &commit))
        return status;
    // A value only the policy file held is gone from it: that counts.
    const long status = m_registry->deleteValue(key, name);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && commit)
        commit->undo();
    return status;
}

long LocalPolicyBackend::applyChanges(const QList<RegChange>& changes, qsizetype* failed) {
    m_lastError.clear();
    QList<Change> byPath;
    for (const RegChange& change : changes)
        byPath.append({KeyStoreBackend::joinPath(KeyStoreBackend::hiveName(change.hive), change.subKey)
                           .value_or(QString()),
                       change.name, change.kind, change.value, change.mark});
    std::unique_ptr<PolicyCommit> commit;
    if (const long status = writePolicy(byPath, &commit)) {
        if (failed)
            *failed = 0;
        return status;
    }
    qsizetype made = 0;
    const long status = m_registry->applyChanges(changes, &made);
    if (status == ERROR_SUCCESS)
        return status;
    if (failed)
        *failed = made;
    // The files must say no more than the registry took.
    if (commit) {
        commit->undo();
        std::unique_ptr<PolicyCommit> partial;
        if (made > 0)
            (void)writePolicy(byPath.mid(0, made), &partial);
    }
    return status;
}

long LocalPolicyBackend::writePolicy(const QList<Change>& changes, std::unique_ptr<PolicyCommit>* commit) {
    if (!QFileInfo::exists(m_folder.filePath(PolScope::User)) &&
        !QFileInfo::exists(m_folder.filePath(PolScope::Machine)))
        return ERROR_SUCCESS;
    std::array<std::optional<PolFile>, 2> files;
    std::array<bool, 2> changed{};
    // What the changes make of the files as they are now; false when one cannot be read.
    const auto edit = [&]() {
        files = {};
        changed = {};
        for (const Change& change : changes) {
            const std::optional<Place> at = placeOf(change.path);
            if (!at || change.kind == RegChange::Kind::CreateKey)
                continue;
            std::optional<PolFile>& file = files[polIndex(at->scope)];
            if (!file && !(file = m_folder.readFile(at->scope, &m_lastError))) {
                m_lastError += QStringLiteral("; nothing was written");
                return false;
            }
            bool& differs = changed[polIndex(at->scope)];
            if (change.kind == RegChange::Kind::DeleteValue)
                differs = file->removeRecords(at->key, change.name) || differs;
            else if (change.kind == RegChange::Kind::DeleteValues)
                for (const QString& name : file->valueNames(at->key))
                    differs = file->removeRecords(at->key, name) || differs;
            // A soft value leaves what is set as it is, in the registry and so in the files.
            else if (change.mark != RegChange::Mark::Soft && file->recordFor(at->key, change.name) >= 0)
                differs = file->setRecord(at->key, change.name, winereg::fromAnsi(change.value)) || differs;
        }
        return true;
    };
    // Most writes are to values the files do not speak of: those need no lock in the folder.
    if (!edit())
        return ERROR_BADDB;
    if (!changed[0] && !changed[1])
        return ERROR_SUCCESS;
    FileLock lock(m_folder.lockPath());
    if (!lock.tryLock(kLockTimeoutMs, &m_lastError))
        return ERROR_CANTWRITE;
    if (!edit())
        return ERROR_BADDB;
    auto written = std::make_unique<PolicyCommit>(m_folder, GptUpdate::IfPresent);
    for (const PolScope scope : kPolScopes)
        if (changed[polIndex(scope)])
            written->setFile(scope, files[polIndex(scope)]->serialize());
    if (!written->prepare(std::nullopt, &m_lastError) || !written->write(&m_lastError))
        return ERROR_CANTWRITE;
    *commit = std::move(written);
    return ERROR_SUCCESS;
}

std::optional<PolicyFileSetting> LocalPolicyBackend::policyFileSetting(HKEY hive, const QString& subKey,
                                                                       const QString& name) {
    const std::optional<Place> at =
        placeOf(KeyStoreBackend::joinPath(KeyStoreBackend::hiveName(hive), subKey).value_or(QString()));
    if (!at)
        return std::nullopt;
    const QString path = m_folder.filePath(at->scope);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QString why;
    const std::optional<PolFile> file = m_folder.readFile(at->scope, &why);
    if (!file)
        return PolicyFileSetting{path, std::nullopt, why};
    if (std::optional<RegValue> value = file->valueOf(at->key, name))
        return PolicyFileSetting{path, winereg::toAnsi(*value), {}};
    if (file->recordFor(at->key, name) >= 0)
        return PolicyFileSetting{path, std::nullopt, {}};
    return std::nullopt;
}

} // namespace tavimor
