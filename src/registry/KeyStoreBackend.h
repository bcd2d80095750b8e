// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RegistryBackend.h"

#include <QHash>
#include <QStringList>

namespace tavimor {

// The handle bookkeeping of a registry held by the program itself. Subclasses store keys
// addressed by full path ("HKEY_CURRENT_USER\Software\..."), compared without regard to case.
class KeyStoreBackend : public RegistryBackend {
public:
    long openKey(HKEY key, const QString& subKey, quint32 access, HKEY* result) override;
    long createKey(HKEY key, const QString& subKey, quint32 access, HKEY* result,
                   quint32* disposition) override;
    long queryValue(HKEY key, const QString& name, quint32* type, QByteArray* data, quint32* size) override;
    long setValue(HKEY key, const QString& name, quint32 type, const QByteArray& data) override;
    long deleteValue(HKEY key, const QString& name) override;
    long valueNames(HKEY key, QStringList* names) override;
    long closeKey(HKEY key) override;

    std::optional<QString> computerName() override;
    WindowsVersion windowsVersion() override;

    int openHandleCount() const { return int(m_handles.size()); }

    // Joins a hive name and a sub-key path; nullopt for an empty component (as in "a\\b").
    static std::optional<QString> joinPath(const QString& base, const QString& subKey);
    static QString hiveName(HKEY key);

protected:
    // ERROR_SUCCESS with *exists set, or the store's failure.
    virtual long storeKeyExists(const QString& path, bool* exists) = 0;
    // Creates the key and its missing parents; *created tells whether it was new.
    virtual long storeCreateKey(const QString& path, bool* created) = 0;
    // ERROR_FILE_NOT_FOUND when the key or the value is missing.
    virtual long storeReadValue(const QString& path, const QString& name, RegValue* value) = 0;
    virtual long storeWriteValue(const QString& path, const QString& name, const RegValue& value) = 0;
    // ERROR_FILE_NOT_FOUND when the key or the value is missing.
    virtual long storeDeleteValue(const QString& path, const QString& name) = 0;
    // ERROR_FILE_NOT_FOUND when the key is missing; a store that cannot list keeps the default.
    virtual long storeValueNames(const QString& path, QStringList* names) {
        Q_UNUSED(path);
        Q_UNUSED(names);
        return ERROR_NOT_SUPPORTED;
    }

private:
    long resolve(HKEY key, QString* path) const;
    // The checks every open and create share; *path is the full path of the key asked for.
    long beginOpen(HKEY key, const QString& subKey, HKEY* result, QString* path);
    HKEY newHandle(const QString& path, HKEY* result);

    QHash<HKEY, QString> m_handles;
    HKEY m_nextHandle = 0x100;
};

// Windows' own places for the facts, read from any store.
inline constexpr auto kWin9xVersionKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr auto kNtVersionKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr auto kComputerNameKey =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";

QString regValueText(const RegValue& value);

} // namespace tavimor
