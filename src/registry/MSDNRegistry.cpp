// SPDX-License-Identifier: GPL-3.0-or-later
#include "MSDNRegistry.h"

#include "base/ErrorHandler.h"

#include <QtEndian>
#include <cmath>

namespace tavimor {

long MSDNRegistry::WriteRegValue(HKEY key, const QString& valueName, quint32 type, const RegDatum& value) {
    if (type == REG_SZ)
        return m_backend->setValue(key, valueName, REG_SZ, value.toText().toLatin1() + '\0');
    if (type == REG_DWORD) {
        const std::optional<qint32> number = value.toInteger();
        if (!number)
            return ERROR_INVALID_PARAMETER;
        return m_backend->setValue(key, valueName, REG_DWORD, regDword(quint32(*number)).data);
    }
    return ERROR_SUCCESS;
}

long MSDNRegistry::ReadRegValue(HKEY key, const QString& valueName, RegDatum& value) {
    quint32 type = REG_NONE;
    quint32 size = 0;
    if (const long status = m_backend->queryValue(key, valueName, &type, nullptr, &size))
        return status;
    QByteArray data;
    if (type == REG_SZ) {
        const long status = m_backend->queryValue(key, valueName, &type, &data, &size);
        if (status != ERROR_SUCCESS) {
            value = RegDatum();
            return status;
        }
        const qsizetype nul = data.indexOf('\0');
        value = RegDatum::text(QString::fromLatin1(nul >= 0 ? data.left(nul) : data));
        return ERROR_SUCCESS;
    }
    if (type == REG_DWORD) {
        const long status = m_backend->queryValue(key, valueName, &type, &data, &size);
        if (status == ERROR_SUCCESS && type == REG_DWORD) {
            QByteArray four = data.left(4);
            four.resize(4, '\0');
            value = RegDatum::integer(qFromLittleEndian<qint32>(four.constData()));
        }
        return status;
    }
    return -1;
}

long MSDNRegistry::SaveKeyValue(HKEY hive, const QString& keyPath, const QString& valueName,
                                const RegDatum& value, quint32 type) {
    HKEY key = 0;
    const long opened = m_backend->openKey(hive, keyPath, KEY_TAVIMOR_ACCESS, &key);
    if (opened != ERROR_SUCCESS)
        key = 0;
    // With no key the write fails on handle 0, as it does on the platform.
    const long written = WriteRegValue(key, valueName, type, value);
    if (key)
        m_backend->closeKey(key);
    return opened != ERROR_SUCCESS ? opened : written;
}

long MSDNRegistry::DeleteKeyValue(HKEY hive, const QString& keyPath, const QString& valueName) {
    HKEY key = 0;
    if (const long status = m_backend->openKey(hive, keyPath, KEY_TAVIMOR_ACCESS, &key))
        return status;
    const long status = m_backend->deleteValue(key, valueName);
    m_backend->closeKey(key);
    return status;
}

long MSDNRegistry::CreateRegKey(const QString& keyPath, HKEY hive) {
    HKEY key = 0;
    quint32 disposition = 0;
    const long status = m_backend->createKey(hive, keyPath, KEY_TAVIMOR_ACCESS, &key, &disposition);
    if (status == ERROR_SUCCESS)
        m_backend->closeKey(key);
    return status;
}

QString MSDNRegistry::failureText(long status) const {
    const QString own = m_backend->lastError();
    if (!own.isEmpty())
        return own;
    switch (status) {
    case ERROR_FILE_NOT_FOUND:
        return QStringLiteral("The system cannot find the file specified.");
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("Access is denied.");
    case ERROR_INVALID_HANDLE:
        return QStringLiteral("The handle is invalid.");
    case ERROR_INVALID_PARAMETER:
        return QStringLiteral("The parameter is incorrect.");
    case ERROR_BADDB:
        return QStringLiteral("The configuration registry database is corrupt.");
    case ERROR_CANTREAD:
        return QStringLiteral("The configuration registry key could not be read.");
    case ERROR_CANTWRITE:
        return QStringLiteral("The configuration registry key could not be written.");
    case ERROR_HIVE_MISSING:
        return QStringLiteral("The target has no file for this hive.");
    default:
        return QStringLiteral("Error %1.").arg(status);
    }
}

RegDatum MSDNRegistry::ReadKeyValue(HKEY hive, const QString& keyPath, const QString& valueName) {
    RegDatum value;
    // No hive is no root at all: nothing to ask, so nothing is there.
    if (hive == 0)
        return value;
    HKEY key = 0;
    if (const long status = m_backend->openKey(hive, keyPath, KEY_TAVIMOR_ACCESS, &key))
        return isNotThere(status) ? value : RegDatum::unread(failureText(status));
    const long status = ReadRegValue(key, valueName, value);
    m_backend->closeKey(key);
    // -1 is a value of a type the layer does not read: there, but nothing to hand over.
    if (status != ERROR_SUCCESS && status != -1 && !isNotThere(status))
        return RegDatum::unread(failureText(status));
    return value;
}

QString MSDNRegistry::GetSystemName() {
    QString name = m_backend->computerName().value_or(QString()).left(255).trimmed();
    name.remove(QChar(u'\0'));
    return name;
}

HKEY GetKeyValue(const QString& hiveName) {
    if (hiveName == QLatin1String("HKEY_LOCAL_MACHINE"))
        return HKEY_LOCAL_MACHINE;
    if (hiveName == QLatin1String("HKEY_CURRENT_USER"))
        return HKEY_CURRENT_USER;
    if (hiveName == QLatin1String("HKEY_USERS"))
        return HKEY_USERS;
    if (hiveName == QLatin1String("HKEY_CLASSES_ROOT"))
        return HKEY_CLASSES_ROOT;
    return 0;
}

double Power(qint32 base, qint32 exponent, ErrorHandler& errors) {
    if (base <= 0) {
        errors.HandleError(5, QStringLiteral("Invalid procedure call or argument"),
                           QStringLiteral("bGlobal.Power"));
        return 0;
    }
    const double result = std::exp(std::log(double(base)) * double(exponent));
    if (!std::isfinite(result)) {
        errors.HandleError(6, QStringLiteral("Overflow"), QStringLiteral("bGlobal.Power"));
        return 0;
    }
    return result;
}

} // namespace tavimor
