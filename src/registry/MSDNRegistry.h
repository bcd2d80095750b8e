// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RegDatum.h"
#include "RegistryBackend.h"

namespace tavimor {

class ErrorHandler;

// The program's registry procedures: thin and forgiving, they show nothing and drop the
// platform's status codes except where a result is given.
class MSDNRegistry {
public:
    explicit MSDNRegistry(RegistryBackend& backend)
        : m_backend(&backend) {}

    // 0 on success and for a type other than REG_SZ and REG_DWORD (nothing written);
    // ERROR_INVALID_PARAMETER for a text that is not a number when a REG_DWORD is wanted.
    long WriteRegValue(HKEY key, const QString& valueName, quint32 type, const RegDatum& value);
    // 0 on success; the platform's code when the value cannot be queried; -1 for another type.
    long ReadRegValue(HKEY key, const QString& valueName, RegDatum& value);
    // The status of the open or the write; ERROR_SUCCESS when written.
    long SaveKeyValue(HKEY hive, const QString& keyPath, const QString& valueName, const RegDatum& value,
                      quint32 type);
    // Opens the key, deletes the value and closes the key; ERROR_FILE_NOT_FOUND when the key or the
    // value is not there, which callers that want "not configured" take as done.
    long DeleteKeyValue(HKEY hive, const QString& keyPath, const QString& valueName);
    // The status of the create; ERROR_SUCCESS also when the key was there.
    long CreateRegKey(const QString& keyPath, HKEY hive);
    // Nothing when the key or the value is not there (or has another type); unread, with the
    // failure's words, when the registry could not be asked.
    RegDatum ReadKeyValue(HKEY hive, const QString& keyPath, const QString& valueName);
    // The computer name; "" when it cannot be had.
    QString GetSystemName();

    // Why an operation that gave status failed: the backend's own words, else the platform's text.
    QString failureText(long status) const;

    RegistryBackend& backend() { return *m_backend; }
    // Another registry from now on; the caller keeps it alive.
    void setBackend(RegistryBackend& backend) { m_backend = &backend; }

private:
    RegistryBackend* m_backend;
};

// The hive handle of a catalogue KEY text, matched exactly; 0 for any other text.
HKEY GetKeyValue(const QString& hiveName);
// exp(ln(base) * exponent); a base of 0 or below, or an overflow, is reported and gives 0.
double Power(qint32 base, qint32 exponent, ErrorHandler& errors);

} // namespace tavimor
