// SPDX-License-Identifier: GPL-3.0-or-later
#include "HiveBackend.h"

#include "HiveFiles.h"
#include "base/FileLock.h"

#include <QFile>
#include <QtEndian>
#include <sys/stat.h>

namespace tavimor {

namespace {

std::optional<HiveBackend::Stamp> stampOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return HiveBackend::Stamp{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                              qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// A value as the hive holds it, to compare the file read back with what was written.
QByteArray valueOutcome(const Hivex& hive, const QString& keyPath, const QString& name) {
    RegValue value;
    const long status = hive.value(hive.find(keyPath), name, &value);
    return status == ERROR_SUCCESS ? QByteArray::number(value.type) + ':' + value.data
                                   : QByteArray::number(qint64(status));
}

} // namespace

std::unique_ptr<HiveBackend> HiveBackend::open(const Files& files, const QString& name, QString* error) {
    std::unique_ptr<HiveBackend> backend(new HiveBackend);
    backend->m_name = name;
    backend->m_hives[User].path = files.user;
    backend->m_hives[Software].path = files.software;
    backend->m_hives[System].path = files.system;
    for (int which = User; which <= System; ++which) {
        const QString& path = backend->m_hives[which].path;
        if (path.isEmpty())
            continue;
        if (const QString pending = hivePendingChanges(path); !pending.isEmpty()) {
            *error =
                QStringLiteral("%1 has changes Windows has not yet written into it (%2): Windows was not "
                               "shut down cleanly. Boot it once and shut it down fully, or replay the "
                               "transaction logs, then try again.")
                    .arg(path, pending);
            return nullptr;
        }
        if (backend->load(which, false) != ERROR_SUCCESS) {
            *error = backend->m_lastError;
            return nullptr;
        }
    }
    return backend;
}

long HiveBackend::load(int which, bool writable) {
    HiveFile& file = m_hives[which];
    if (file.path.isEmpty()) {
        static const char* const names[] = {"NTUSER.DAT", "SOFTWARE", "SYSTEM"};
        m_lastError = QStringLiteral("no %1 hive was named").arg(QLatin1String(names[which]));
        return ERROR_HIVE_MISSING;
    }
    const std::optional<Stamp> stamp = stampOf(file.path);
    if (!stamp) {
        m_lastError = QStringLiteral("%1 cannot be read").arg(file.path);
        file.hive.reset();
        return ERROR_CANTREAD;
    }
    if (file.hive && file.stamp == *stamp && (file.hive->writable() || !writable))
        return ERROR_SUCCESS;
    // Dropped first: a mapped file must not be held while the same file is read whole.
    file.hive.reset();
    file.hive = Hivex::open(file.path, writable, &m_lastError);
    if (!file.hive)
        return ERROR_BADDB;
    file.stamp = *stamp;
    return ERROR_SUCCESS;
}

std::optional<HiveBackend::Location> HiveBackend::locate(const QString& fullPath) {
    if (const auto rest = pathBelow(fullPath, QStringLiteral("HKEY_CURRENT_USER")))
        return Location{User, *rest};
    if (const auto rest = pathBelow(fullPath, QStringLiteral("HKEY_CLASSES_ROOT")))
        return Location{Software,
                        rest->isEmpty() ? QStringLiteral("Classes") : QStringLiteral("Classes\\") + *rest};
    const auto machine = pathBelow(fullPath, QStringLiteral("HKEY_LOCAL_MACHINE"));
    if (!machine)
        return std::nullopt;
    if (machine->isEmpty())
        return Location{};
    if (const auto rest = pathBelow(*machine, QStringLiteral("Software")))
        return Location{Software, *rest};
    const auto rest = pathBelow(*machine, QStringLiteral("System"));
    if (!rest)
        return std::nullopt;
    // CurrentControlSet is made at boot from the control set that Select\Current names.
    const auto inSet = pathBelow(*rest, QStringLiteral("CurrentControlSet"));
    if (!inSet)
        return Location{System, *rest};
    RegValue current;
    // Without the SYSTEM hive the key is in no file: the read says so.
    if (m_hives[System].path.isEmpty())
        return Location{System, *rest};
    if (load(System, false) != ERROR_SUCCESS ||
        m_hives[System].hive->value(m_hives[System].hive->find(QStringLiteral("Select")),
                                    QStringLiteral("Current"), &current) != ERROR_SUCCESS ||
        current.type != REG_DWORD || current.data.size() != 4)
        return std::nullopt;
    const QString set =
        QStringLiteral("ControlSet%1")
            .arg(qFromLittleEndian<quint32>(current.data.constData()), 3, 10, QLatin1Char('0'));
    return Location{System, inSet->isEmpty() ? set : set + QLatin1Char('\\') + *inSet};
}

long HiveBackend::storeKeyExists(const QString& path, bool* exists) {
    *exists = false;
    const std::optional<Location> at = locate(path);
    if (!at)
        return ERROR_SUCCESS;
    if (at->hive < 0) {
        *exists = true;
        return ERROR_SUCCESS;
    }
    if (const long status = load(at->hive, false))
        return status;
    *exists = m_hives[at->hive].hive->find(at->path) != 0;
    return ERROR_SUCCESS;
}

long HiveBackend::storeReadValue(const QString& path, const QString& name, RegValue* value) {
    const std::optional<Location> at = locate(path);
    if (!at || at->hive < 0)
        return ERROR_FILE_NOT_FOUND;
    if (const long status = load(at->hive, false))
        return status;
    const Hivex& hive = *m_hives[at->hive].hive;
    const long status = hive.value(hive.find(at->path), name, value);
    if (status == ERROR_CANTREAD)
        m_lastError =
            textBeyondLatin1Reason(QStringLiteral("%1\\%2 in %3").arg(path, name, m_hives[at->hive].path));
    return status;
}

long HiveBackend::storeValueNames(const QString& path, QStringList* names) {
    const std::optional<Location> at = locate(path);
    if (!at || at->hive < 0)
        return ERROR_FILE_NOT_FOUND;
    if (const long status = load(at->hive, false))
        return status;
    const Hivex& hive = *m_hives[at->hive].hive;
    return hive.valueNames(hive.find(at->path), names);
}

long HiveBackend::modify(int which, const std::function<long(Hivex&, bool* changed)>& change,
                         const std::function<QByteArray(const Hivex&)>& outcome) {
    HiveFile& file = m_hives[which];
    if (file.path.isEmpty())
        return ERROR_ACCESS_DENIED;
    // Held from the read to the rename, so two writers cannot each drop the other's change.
    FileLock lock(file.path + QStringLiteral(".lock"));
    if (!lock.tryLock(m_lockTimeout, &m_lastError))
        return ERROR_CANTWRITE;
    if (const long status = load(which, true))
        return status == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : status;
    if (const QString pending = hivePendingChanges(file.path); !pending.isEmpty()) {
        m_lastError = QStringLiteral("%1 was not written: %2").arg(file.path, pending);
        return ERROR_ACCESS_DENIED;
    }
    bool changed = false;
    const long status = change(*file.hive, &changed);
    if (!changed)
        return status;
    const QByteArray wanted = outcome(*file.hive);
    if (!commitHiveFile(*file.hive, file.path, &m_lastError)) {
        // What is in memory is no longer what the file holds.
        file.hive.reset();
        return ERROR_CANTWRITE;
    }
    // What the file holds now, read while no one else can have written it since.
    file.hive.reset();
    if (load(which, false) != ERROR_SUCCESS)
        return ERROR_CANTWRITE;
    if (outcome(*file.hive) != wanted) {
        m_lastError = QStringLiteral("%1 was written but does not read back as written").arg(file.path);
        return ERROR_CANTWRITE;
    }
    return status;
}

long HiveBackend::storeCreateKey(const QString& path, bool* created) {
    *created = false;
    const std::optional<Location> at = locate(path);
    if (!at)
        return ERROR_ACCESS_DENIED;
    if (at->hive < 0)
        return ERROR_SUCCESS;
    // A key that is there already costs no lock and no write.
    if (load(at->hive, false) == ERROR_SUCCESS && m_hives[at->hive].hive->find(at->path))
        return ERROR_SUCCESS;
    return modify(
        at->hive,
        [&](Hivex& hive, bool* changed) -> long {
            Hivex::Node node = hive.root();
            for (const QString& part : at->path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
                Hivex::Node next = hive.child(node, part);
                if (!next) {
                    next = hive.addChild(node, part);
                    if (!next)
                        return ERROR_CANTWRITE;
                    *changed = *created = true;
                }
                node = next;
            }
            return ERROR_SUCCESS;
        },
        [&](const Hivex& hive) { return QByteArray(hive.find(at->path) ? "key" : ""); });
}

long HiveBackend::storeWriteValue(const QString& path, const QString& name, const RegValue& value) {
    const std::optional<Location> at = locate(path);
    if (!at || at->hive < 0)
        return ERROR_FILE_NOT_FOUND;
    // The whole hive would be written again for nothing: a new file, a new inode.
    if (RegValue current; storeReadValue(path, name, &current) == ERROR_SUCCESS && current == value)
        return ERROR_SUCCESS;
    return modify(
        at->hive,
        [&](Hivex& hive, bool* changed) -> long {
            const Hivex::Node node = hive.find(at->path);
            if (!node)
                return ERROR_FILE_NOT_FOUND;
            if (!hive.setValue(node, name, value))
                return ERROR_CANTWRITE;
            *changed = true;
            return ERROR_SUCCESS;
        },
        [&](const Hivex& hive) { return valueOutcome(hive, at->path, name); });
}

long HiveBackend::storeDeleteValue(const QString& path, const QString& name) {
    const std::optional<Location> at = locate(path);
    if (!at || at->hive < 0)
        return ERROR_FILE_NOT_FOUND;
    return modify(
        at->hive,
        [&](Hivex& hive, bool* changed) -> long {
            const long status = hive.deleteValue(hive.find(at->path), name);
            *changed = status == ERROR_SUCCESS;
            return status;
        },
        [&](const Hivex& hive) { return valueOutcome(hive, at->path, name); });
}

} // namespace tavimor
