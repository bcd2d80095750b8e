// SPDX-License-Identifier: GPL-3.0-or-later
#include "Win9xBackend.h"

#include "registry/hive/HiveFiles.h"

namespace tavimor {

namespace {

QString join(const QString& base, const QString& rest) {
    if (base.isEmpty() || rest.isEmpty())
        return base + rest;
    return base + QLatin1Char('\\') + rest;
}

} // namespace

std::unique_ptr<Win9xBackend> Win9xBackend::open(const QString& folder, QString* error) {
    std::unique_ptr<CregFile> files[2];
    for (int i = 0; i < 2; ++i) {
        const QLatin1String name(i == 0 ? "USER.DAT" : "SYSTEM.DAT");
        const QString path = findEntryIgnoringCase(folder, name);
        if (path.isEmpty()) {
            *error = QStringLiteral("%1 has no %2: name the WINDOWS folder of a Windows 95/98/Me disk")
                         .arg(folder, name);
            return nullptr;
        }
        files[i] = CregFile::open(path, error);
        if (!files[i])
            return nullptr;
    }
    return fromFiles(std::move(files[0]), std::move(files[1]), folder);
}

std::unique_ptr<Win9xBackend> Win9xBackend::fromFiles(std::unique_ptr<CregFile> user,
                                                      std::unique_ptr<CregFile> system,
                                                      const QString& folder) {
    std::unique_ptr<Win9xBackend> backend(new Win9xBackend);
    backend->m_folder = folder;
    backend->m_user = std::move(user);
    backend->m_system = std::move(system);
    // Without user profiles the one user's settings are HKEY_USERS\.DEFAULT.
    if (backend->m_user->keyExists(QStringLiteral(".DEFAULT")))
        backend->m_userRoot = QStringLiteral(".DEFAULT");
    return backend;
}

QString Win9xBackend::writeRefusal() const {
    return QStringLiteral(
               "%1 is read-only: Tavimor does not write Windows 95/98/Me registry files. Export the "
               "policies with \"tavimorctl --target %1 export-reg FILE.reg\" and import that file with "
               "regedit on that machine (\"regedit FILE.reg\", which also works from the DOS prompt "
               "before Windows starts).")
        .arg(targetName());
}

const CregFile* Win9xBackend::locate(const QString& fullPath, QString* keyPath) const {
    if (const auto rest = pathBelow(fullPath, QStringLiteral("HKEY_CURRENT_USER"))) {
        *keyPath = join(m_userRoot, *rest);
        return m_user.get();
    }
    if (const auto rest = pathBelow(fullPath, QStringLiteral("HKEY_USERS"))) {
        *keyPath = *rest;
        return m_user.get();
    }
    if (const auto rest = pathBelow(fullPath, QStringLiteral("HKEY_LOCAL_MACHINE"))) {
        *keyPath = *rest;
        return m_system.get();
    }
    if (const auto rest = pathBelow(fullPath, QStringLiteral("HKEY_CLASSES_ROOT"))) {
        *keyPath = join(QStringLiteral("SOFTWARE\\Classes"), *rest);
        return m_system.get();
    }
    return nullptr;
}

long Win9xBackend::storeKeyExists(const QString& path, bool* exists) {
    QString keyPath;
    const CregFile* file = locate(path, &keyPath);
    *exists = file && file->keyExists(keyPath);
    return ERROR_SUCCESS;
}

long Win9xBackend::storeReadValue(const QString& path, const QString& name, RegValue* value) {
    QString keyPath;
    const CregFile* file = locate(path, &keyPath);
    return file ? file->value(keyPath, name, value) : ERROR_FILE_NOT_FOUND;
}

long Win9xBackend::storeValueNames(const QString& path, QStringList* names) {
    QString keyPath;
    const CregFile* file = locate(path, &keyPath);
    return file ? file->valueNames(keyPath, names) : ERROR_FILE_NOT_FOUND;
}

long Win9xBackend::storeCreateKey(const QString&, bool* created) {
    *created = false;
    return ERROR_ACCESS_DENIED;
}

long Win9xBackend::storeWriteValue(const QString&, const QString&, const RegValue&) {
    return ERROR_ACCESS_DENIED;
}

long Win9xBackend::storeDeleteValue(const QString&, const QString&) {
    return ERROR_ACCESS_DENIED;
}

} // namespace tavimor
