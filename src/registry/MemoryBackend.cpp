// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryBackend.h"

namespace tavimor {

namespace {
bool isHive(const QString& path) {
    return !path.contains(QLatin1Char('\\'));
}
} // namespace

QList<SeedValue> windows98Seed(const QString& computerName) {
    const QString version = QLatin1String(kWin9xVersionKey);
    return {
        {version, QStringLiteral("VersionNumber"), regSz(QStringLiteral("4.10.2222"))},
        {version, QStringLiteral("Version"), regSz(QStringLiteral("Windows 98"))},
        {QLatin1String(kComputerNameKey), QStringLiteral("ComputerName"), regSz(computerName)},
    };
}

void MemoryBackend::putValue(const QString& keyPath, const QString& name, const RegValue& value) {
    bool created = false;
    storeCreateKey(keyPath, &created);
    m_keys[keyPath.toLower()].put(name, value);
}

std::optional<RegValue> MemoryBackend::value(const QString& keyPath, const QString& name) const {
    const auto key = m_keys.constFind(keyPath.toLower());
    if (key == m_keys.constEnd())
        return std::nullopt;
    const auto it = key->values.constFind(name.toLower());
    if (it == key->values.constEnd())
        return std::nullopt;
    return it->second;
}

void MemoryBackend::failUnder(const QString& keyPath, const QString& reason, bool writesOnly) {
    if (reason.isEmpty())
        m_failing.remove(keyPath.toLower());
    else
        m_failing.insert(keyPath.toLower(), {reason, writesOnly});
}

long MemoryBackend::failure(const QString& path, long status) {
    if (m_unreadable)
        return ERROR_BADDB;
    const QString key = path.toLower();
    for (auto it = m_failing.cbegin(); it != m_failing.cend(); ++it) {
        if (it->writesOnly && status == ERROR_CANTREAD)
            continue;
        if (key == it.key() || key.startsWith(it.key() + QLatin1Char('\\'))) {
            m_lastError = it->reason;
            return status;
        }
    }
    return ERROR_SUCCESS;
}

bool MemoryBackend::hasKey(const QString& keyPath) const {
    return isHive(keyPath) || m_keys.contains(keyPath.toLower());
}

bool MemoryBackend::requestRestart() {
    ++m_restartRequests;
    return true;
}

long MemoryBackend::storeKeyExists(const QString& path, bool* exists) {
    if (const long failed = failure(path, ERROR_CANTREAD))
        return failed;
    *exists = hasKey(path);
    return ERROR_SUCCESS;
}

long MemoryBackend::storeCreateKey(const QString& path, bool* created) {
    if (const long failed = failure(path, ERROR_CANTWRITE))
        return failed;
    *created = !hasKey(path);
    for (qsizetype at = path.indexOf(QLatin1Char('\\')); at >= 0;
         at = path.indexOf(QLatin1Char('\\'), at + 1))
        m_keys[path.left(at).toLower()];
    if (!isHive(path))
        m_keys[path.toLower()];
    return ERROR_SUCCESS;
}

long MemoryBackend::storeReadValue(const QString& path, const QString& name, RegValue* value) {
    if (const long failed = failure(path, ERROR_CANTREAD))
        return failed;
    ++m_reads;
    const std::optional<RegValue> found = this->value(path, name);
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *value = *found;
    return ERROR_SUCCESS;
}

long MemoryBackend::storeWriteValue(const QString& path, const QString& name, const RegValue& value) {
    if (const long failed = failure(path, ERROR_CANTWRITE))
        return failed;
    if (!hasKey(path))
        return ERROR_FILE_NOT_FOUND;
    // As the file stores do: a value that holds what is asked is not written.
    if (this->value(path, name) == value)
        return ERROR_SUCCESS;
    ++m_writes;
    m_keys[path.toLower()].put(name, value);
    return ERROR_SUCCESS;
}

long MemoryBackend::storeDeleteValue(const QString& path, const QString& name) {
    if (const long failed = failure(path, ERROR_CANTWRITE))
        return failed;
    const auto key = m_keys.find(path.toLower());
    if (key == m_keys.end() || !key->values.remove(name.toLower()))
        return ERROR_FILE_NOT_FOUND;
    key->order.removeOne(name.toLower());
    ++m_writes;
    return ERROR_SUCCESS;
}

long MemoryBackend::storeValueNames(const QString& path, QStringList* names) {
    if (m_unreadable)
        return ERROR_BADDB;
    const auto key = m_keys.constFind(path.toLower());
    if (key == m_keys.cend())
        return ERROR_FILE_NOT_FOUND;
    for (const QString& name : key->order)
        names->append(key->values.value(name).first);
    return ERROR_SUCCESS;
}

} // namespace tavimor
