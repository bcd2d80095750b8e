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

RegValue regExpandSz(const QString& text) {
    return RegValue{REG_EXPAND_SZ, text.toLatin1() + '\0'};
}

RegValue regMultiSz(const QStringList& strings) {
    QByteArray bytes;
    for (const QString& string : strings)
        bytes += string.toLatin1() + '\0';
    return RegValue{REG_MULTI_SZ, bytes + '\0'};
}

RegValue regQword(quint64 value) {
    QByteArray bytes(8, '\0');
    qToLittleEndian(value, bytes.data());
    return RegValue{REG_QWORD, bytes};
}

bool isTextType(quint32 type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool textBeyondLatin1(const RegValue& utf16) {
    if (!isTextType(utf16.type))
        return false;
    for (qsizetype i = 1; i < utf16.data.size(); i += 2)
        if (utf16.data[i] != '\0')
            return true;
    return false;
}

QString textBeyondLatin1Reason(const QString& place) {
    return QStringLiteral("%1 holds text the registry's 8-bit form (Latin-1) cannot carry").arg(place);
}

namespace {

long applyOne(RegistryBackend& backend, const RegChange& change) {
    using Kind = RegChange::Kind;
    const bool deletes = change.kind == Kind::DeleteValue || change.kind == Kind::DeleteValues;
    HKEY key = 0;
    quint32 disposition = 0;
    long status = deletes
                      ? backend.openKey(change.hive, change.subKey, KEY_TAVIMOR_ACCESS, &key)
                      : backend.createKey(change.hive, change.subKey, KEY_TAVIMOR_ACCESS, &key, &disposition);
    if (status != ERROR_SUCCESS)
        return deletes && status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    if (change.kind == Kind::SetValue) {
        quint32 type = 0;
        quint32 size = 0;
        // A soft value is only written where none is.
        const bool keep = change.mark == RegChange::Mark::Soft &&
                          backend.queryValue(key, change.name, &type, nullptr, &size) == ERROR_SUCCESS;
        if (!keep)
            status = backend.setValue(key, change.name, change.value.type, change.value.data);
    } else if (change.kind == Kind::DeleteValue) {
        status = backend.deleteValue(key, change.name);
    } else if (change.kind == Kind::DeleteValues) {
        QStringList names;
        status = backend.valueNames(key, &names);
        for (qsizetype i = 0; status == ERROR_SUCCESS && i < names.size(); ++i)
            status = backend.deleteValue(key, names[i]);
    }
    backend.closeKey(key);
    return deletes && status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

} // namespace

long RegistryBackend::applyChanges(const QList<RegChange>& changes, qsizetype* failed) {
    for (qsizetype i = 0; i < changes.size(); ++i) {
        if (const long status = applyOne(*this, changes[i]); status != ERROR_SUCCESS) {
            if (failed)
                *failed = i;
            return status;
        }
    }
    return ERROR_SUCCESS;
}

} // namespace tavimor
