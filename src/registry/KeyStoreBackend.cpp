// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyStoreBackend.h"

#include <QtEndian>

namespace tavimor {

QString KeyStoreBackend::hiveName(HKEY key) {
    switch (key) {
    case HKEY_CLASSES_ROOT:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case HKEY_CURRENT_USER:
        return QStringLiteral("HKEY_CURRENT_USER");
    case HKEY_LOCAL_MACHINE:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case HKEY_USERS:
        return QStringLiteral("HKEY_USERS");
    default:
        return QString();
    }
}

std::optional<QString> KeyStoreBackend::joinPath(const QString& base, const QString& subKey) {
    QString path = base;
    if (subKey.isEmpty())
        return path;
    const QStringList parts = subKey.split(QLatin1Char('\\'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // Windows accepts one trailing backslash, and no other empty component.
        if (parts[i].isEmpty()) {
            if (i == parts.size() - 1 && i > 0)
                break;
            return std::nullopt;
        }
        path += QLatin1Char('\\') + parts[i];
    }
    return path;
}

long KeyStoreBackend::resolve(HKEY key, QString* path) const {
    const QString hive = hiveName(key);
    if (!hive.isEmpty()) {
        *path = hive;
        return ERROR_SUCCESS;
    }
    const auto it = m_handles.constFind(key);
    if (it == m_handles.constEnd())
        return ERROR_INVALID_HANDLE;
    *path = *it;
    return ERROR_SUCCESS;
}

long KeyStoreBackend::beginOpen(HKEY key, const QString& subKey, HKEY* result, QString* path) {
    if (result)
        *result = 0;
    QString base;
    if (const long status = resolve(key, &base))
        return status;
    const std::optional<QString> joined = joinPath(base, subKey);
    if (!joined)
        return ERROR_BAD_PATHNAME;
    *path = *joined;
    return ERROR_SUCCESS;
}

HKEY KeyStoreBackend::newHandle(const QString& path, HKEY* result) {
    const HKEY handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles.insert(handle, path);
    if (result)
        *result = handle;
    return handle;
}

long KeyStoreBackend::openKey(HKEY key, const QString& subKey, quint32 /*access*/, HKEY* result) {
    QString path;
    if (const long status = beginOpen(key, subKey, result, &path))
        return status;
    bool exists = false;
    if (const long status = storeKeyExists(path, &exists))
        return status;
    if (!exists)
        return ERROR_FILE_NOT_FOUND;
    newHandle(path, result);
    return ERROR_SUCCESS;
}

long KeyStoreBackend::createKey(HKEY key, const QString& subKey, quint32 /*access*/, HKEY* result,
                                quint32* disposition) {
    QString path;
    if (const long status = beginOpen(key, subKey, result, &path))
        return status;
    bool created = false;
    if (const long status = storeCreateKey(path, &created))
        return status;
    newHandle(path, result);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

long KeyStoreBackend::queryValue(HKEY key, const QString& name, quint32* type, QByteArray* data,
                                 quint32* size) {
    QString path;
    if (const long status = resolve(key, &path))
        return status;
    RegValue value;
    if (const long status = storeReadValue(path, name, &value))
        return status;
    if (type)
        *type = value.type;
    const quint32 needed = quint32(value.data.size());
    if (data) {
        const quint32 room = size ? *size : 0;
        if (size)
            *size = needed;
        if (room < needed)
            return ERROR_MORE_DATA;
        *data = value.data;
    } else if (size) {
        *size = needed;
    }
    return ERROR_SUCCESS;
}

long KeyStoreBackend::setValue(HKEY key, const QString& name, quint32 type, const QByteArray& data) {
    QString path;
    if (const long status = resolve(key, &path))
        return status;
    return storeWriteValue(path, name, RegValue{type, data});
}

long KeyStoreBackend::deleteValue(HKEY key, const QString& name) {
    QString path;
    if (const long status = resolve(key, &path))
        return status;
    return storeDeleteValue(path, name);
}

long KeyStoreBackend::valueNames(HKEY key, QStringList* names) {
    QString path;
    if (const long status = resolve(key, &path))
        return status;
    names->clear();
    return storeValueNames(path, names);
}

long KeyStoreBackend::closeKey(HKEY key) {
    if (!hiveName(key).isEmpty())
        return ERROR_SUCCESS;
    return m_handles.remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

QString regValueText(const RegValue& value) {
    QByteArray bytes = value.data;
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLatin1(bytes);
}

std::optional<QString> KeyStoreBackend::computerName() {
    RegValue value;
    if (storeReadValue(QLatin1String(kComputerNameKey), QStringLiteral("ComputerName"), &value) !=
            ERROR_SUCCESS ||
        value.type != REG_SZ)
        return std::nullopt;
    return regValueText(value);
}

WindowsVersion KeyStoreBackend::windowsVersion() {
    WindowsVersion version;
    auto text = [this](const char* key, const char* name) -> QString {
        RegValue value;
        if (storeReadValue(QLatin1String(key), QLatin1String(name), &value) != ERROR_SUCCESS)
            return QString();
        if (value.type == REG_DWORD && value.data.size() == 4)
            return QString::number(qFromLittleEndian<quint32>(value.data.constData()));
        return (value.type == REG_SZ || value.type == REG_EXPAND_SZ) ? regValueText(value) : QString();
    };
    // Windows 95, 98 and Me keep "VersionNumber" such as "4.10.2222"; the NT family "CurrentVersion".
    QStringList parts = text(kWin9xVersionKey, "VersionNumber").split(QLatin1Char('.'));
    if (parts.size() >= 2) {
        version.platformId = 1;
        version.name = text(kWin9xVersionKey, "Version");
    } else {
        const QString major = text(kNtVersionKey, "CurrentMajorVersionNumber");
        const QString minor = text(kNtVersionKey, "CurrentMinorVersionNumber");
        parts = major.isEmpty() ? text(kNtVersionKey, "CurrentVersion").split(QLatin1Char('.'))
                                : QStringList{major, minor, text(kNtVersionKey, "CurrentBuildNumber")};
        if (parts.size() < 2)
            return version;
        if (parts.size() == 2)
            parts.append(text(kNtVersionKey, "CurrentBuildNumber"));
        version.platformId = 2;
        version.name = text(kNtVersionKey, "ProductName");
    }
    version.major = parts.value(0).toUInt();
    version.minor = parts.value(1).toUInt();
    version.build = parts.value(2).toUInt();
    return version;
}

} // namespace tavimor
