// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegistryBackend.h"

#include <QtEndian>

namespace tavimor {

RegValue regSz(const QString& text) {
    return RegValue{REG_SZ, text.toLatin1() + '\0'};
}

RegValue regDword(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return RegValue{REG_DWORD, bytes};
}

long RegistryBackend::applyChanges(const QList<RegChange>& changes, qsizetype* failed) {
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const RegChange& change = changes[i];
        HKEY key = 0;
        quint32 disposition = 0;
        long status = change.kind == RegChange::Kind::DeleteValue
                          ? openKey(change.hive, change.subKey, KEY_TAVIMOR_ACCESS, &key)
                          : createKey(change.hive, change.subKey, KEY_TAVIMOR_ACCESS, &key, &disposition);
        if (status == ERROR_SUCCESS) {
            if (change.kind == RegChange::Kind::SetValue)
                status = setValue(key, change.name, change.value.type, change.value.data);
            else if (change.kind == RegChange::Kind::DeleteValue)
                status = deleteValue(key, change.name);
            closeKey(key);
        }
        if (status != ERROR_SUCCESS &&
            !(change.kind == RegChange::Kind::DeleteValue && status == ERROR_FILE_NOT_FOUND)) {
            if (failed)
                *failed = i;
            return status;
        }
    }
    return ERROR_SUCCESS;
}

} // namespace tavimor
