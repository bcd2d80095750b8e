// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegFileBackend.h"

#include "base/FileLock.h"
#include "base/FileUtil.h"
#include "registry/MemoryBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

namespace tavimor {

std::unique_ptr<RegFileBackend> RegFileBackend::open(const QString& path, const QString& computerName,
                                                     QString* error) {
    std::unique_ptr<RegFileBackend> backend(new RegFileBackend(path));
    const bool ok =
        QFileInfo::exists(path) ? backend->reload() == ERROR_SUCCESS : backend->create(computerName);
    if (!ok) {
        if (error)
            *error = backend->m_lastError;
        return nullptr;
    }
    return backend;
}

RegFileBackend::RegFileBackend(const QString& path)
    : m_path(path)
    , m_encodedPath(QFile::encodeName(path)) {
}

long RegFileBackend::openKey(HKEY key, const QString& subKey, quint32 access, HKEY* result) {
    m_openChecked = false;
    const long status = KeyStoreBackend::openKey(key, subKey, access, result);
    m_openChecked = status == ERROR_SUCCESS;
    return status;
}

long RegFileBackend::closeKey(HKEY key) {
    m_openChecked = false;
    return KeyStoreBackend::closeKey(key);
}

std::optional<RegFileBackend::FileStamp> RegFileBackend::stamp(int fd) const {
    FileStamp result;
#ifdef Q_OS_LINUX
    struct stat info {};
    if ((fd >= 0 ? ::fstat(fd, &info) : ::stat(m_encodedPath.constData(), &info)) != 0)
        return std::nullopt;
    result.device = quint64(info.st_dev);
    result.inode = quint64(info.st_ino);
    result.size = qint64(info.st_size);
    result.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    result.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
#else
    Q_UNUSED(fd);
    const QFileInfo info(m_path);
    if (!info.exists())
        return std::nullopt;
    result.size = info.size();
    result.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    result.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
#endif
    return result;
}

// Another process may have saved since we last read; a stat is all an unchanged file costs.
long RegFileBackend::refresh() {
    const std::optional<FileStamp> now = stamp();
    if (now && m_stamp && *now == *m_stamp)
        return m_status;
    return reload();
}

long RegFileBackend::reload() {
    QFile file(m_path);
    QString why;
    if (!openRegularFile(file, &why)) {
        m_file.reset();
        m_stamp.reset();
        m_lastError = QStringLiteral("Cannot read %1: %2").arg(m_path, why);
        return m_status = ERROR_CANTREAD;
    }
    // The stamp of the open file is the stamp of exactly the text read, whatever is saved meanwhile.
    const std::optional<FileStamp> opened = stamp(file.handle());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_file.reset();
        m_stamp.reset();
        m_lastError = QStringLiteral("Cannot read %1: %2").arg(m_path, file.errorString());
        return m_status = ERROR_CANTREAD;
    }
    m_stamp = opened;
    QString reason;
    int line = 0;
    m_file = RegEditFile::parse(bytes, &reason, &line);
    if (!m_file) {
        m_lastError = QStringLiteral("%1:%2: %3").arg(m_path).arg(line).arg(reason);
        return m_status = ERROR_BADDB;
    }
    return m_status = ERROR_SUCCESS;
}

bool RegFileBackend::create(const QString& computerName) {
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_lastError = QStringLiteral("Cannot create the folder %1").arg(folder);
        return false;
    }
    const long status = modify(
        [&](RegEditFile& file, bool* changed) {
            // Another process may have created it while we waited for the lock.
            if (m_file)
                return ERROR_SUCCESS;
            for (const SeedValue& seed : windows98Seed(computerName)) {
                file.createKey(seed.keyPath);
                file.setValue(seed.keyPath, seed.name, seed.value);
            }
            *changed = true;
            return ERROR_SUCCESS;
        },
        true);
    return status == ERROR_SUCCESS;
}

long RegFileBackend::modify(const std::function<long(RegEditFile&, bool*)>& change, bool creating) {
    FileLock lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(m_lockTimeout, &m_lastError))
        return ERROR_CANTWRITE;
    if (creating && !QFileInfo::exists(m_path)) {
        m_file.reset();
        m_stamp.reset();
    } else if (const long status = refresh()) {
        return status;
    }
    RegEditFile next = m_file.value_or(RegEditFile());
    bool changed = false;
    if (const long status = change(next, &changed))
        return status;
    if (!changed)
        return ERROR_SUCCESS;
    if (!save(next)) {
        // The file on disk is the truth; read it again next time.
        m_stamp.reset();
        return ERROR_CANTWRITE;
    }
    m_file = std::move(next);
    m_status = ERROR_SUCCESS;
    m_stamp = stamp();
    return ERROR_SUCCESS;
}

bool RegFileBackend::save(const RegEditFile& file) {
    QString why;
    if (writeFileAtomically(m_path, file.serialize(), &why))
        return true;
    m_lastError = QStringLiteral("Cannot write %1: %2").arg(m_path, why);
    return false;
}

long RegFileBackend::storeKeyExists(const QString& path, bool* exists) {
    if (const long status = refresh())
        return status;
    *exists = m_file->hasKey(path);
    return ERROR_SUCCESS;
}

long RegFileBackend::storeCreateKey(const QString& path, bool* created) {
    *created = false;
    if (const long status = refresh())
        return status;
    if (m_file->hasKey(path))
        return ERROR_SUCCESS;
    return modify([&](RegEditFile& file, bool* changed) {
        if (file.hasKey(path))
            return ERROR_SUCCESS;
        if (!file.createKey(path))
            return ERROR_INVALID_PARAMETER;
        *created = *changed = true;
        return ERROR_SUCCESS;
    });
}

long RegFileBackend::storeReadValue(const QString& path, const QString& name, RegValue* value) {
    if (const long status = m_openChecked ? m_status : refresh())
        return status;
    const std::optional<RegValue> found = m_file->value(path, name);
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *value = *found;
    return ERROR_SUCCESS;
}

long RegFileBackend::storeWriteValue(const QString& path, const QString& name, const RegValue& value) {
    if (const long status = refresh())
        return status;
    if (!m_file->hasKey(path))
        return ERROR_FILE_NOT_FOUND;
    if (m_file->value(path, name) == value)
        return ERROR_SUCCESS;
    return modify([&](RegEditFile& file, bool* changed) {
        if (!file.hasKey(path))
            return ERROR_FILE_NOT_FOUND;
        if (file.value(path, name) == value)
            return ERROR_SUCCESS;
        if (!file.setValue(path, name, value))
            return ERROR_INVALID_PARAMETER;
        *changed = true;
        return ERROR_SUCCESS;
    });
}

long RegFileBackend::storeDeleteValue(const QString& path, const QString& name) {
    if (const long status = refresh())
        return status;
    if (!m_file->value(path, name))
        return ERROR_FILE_NOT_FOUND;
    return modify([&](RegEditFile& file, bool* changed) {
        if (!file.removeValue(path, name))
            return ERROR_FILE_NOT_FOUND;
        *changed = true;
        return ERROR_SUCCESS;
    });
}

long RegFileBackend::applyChanges(const QList<RegChange>& changes, qsizetype* failed) {
    qsizetype stopped = -1;
    long stopStatus = ERROR_SUCCESS;
    const long status = modify([&](RegEditFile& file, bool* changed) {
        // The changes before one that cannot be made are kept, as the single calls would keep them.
        const auto stop = [&](qsizetype at, long why) {
            stopped = at;
            stopStatus = why;
            return ERROR_SUCCESS;
        };
        for (qsizetype i = 0; i < changes.size(); ++i) {
            const RegChange& change = changes[i];
            const std::optional<QString> path = joinPath(hiveName(change.hive), change.subKey);
            if (!path || hiveName(change.hive).isEmpty())
                return stop(i, ERROR_BAD_PATHNAME);
            const bool deletes =
                change.kind == RegChange::Kind::DeleteValue || change.kind == RegChange::Kind::DeleteValues;
            if (deletes && !file.hasKey(*path))
                continue;
            if (!file.hasKey(*path)) {
                if (!file.createKey(*path))
                    return stop(i, ERROR_INVALID_PARAMETER);
                *changed = true;
            }
            if (change.kind == RegChange::Kind::SetValue) {
                const std::optional<RegValue> now = file.value(*path, change.name);
                if (now == change.value || (now && change.mark == RegChange::Mark::Soft))
                    continue;
                if (!file.setValue(*path, change.name, change.value))
                    return stop(i, ERROR_INVALID_PARAMETER);
                *changed = true;
            } else if (change.kind == RegChange::Kind::DeleteValue) {
                *changed = file.removeValue(*path, change.name) || *changed;
            } else if (change.kind == RegChange::Kind::DeleteValues) {
                for (const QString& name : file.valueNames(*path))
                    *changed = file.removeValue(*path, name) || *changed;
            }
        }
        return ERROR_SUCCESS;
    });
    const long result = status != ERROR_SUCCESS ? status : stopStatus;
    if (result != ERROR_SUCCESS && failed)
        *failed = status != ERROR_SUCCESS ? 0 : stopped;
    return result;
}

long RegFileBackend::storeValueNames(const QString& path, QStringList* names) {
    if (const long status = refresh())
        return status;
    if (!m_file->hasKey(path))
        return ERROR_FILE_NOT_FOUND;
    *names = m_file->valueNames(path);
    return ERROR_SUCCESS;
}

} // namespace tavimor
