// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeyStoreBackend.h"

#include <QHash>

namespace tavimor {

// A registry held in memory, for tests and for trying things out.
class MemoryBackend : public KeyStoreBackend {
public:
    MemoryBackend() = default;

    void putValue(const QString& keyPath, const QString& name, const RegValue& value);
    std::optional<RegValue> value(const QString& keyPath, const QString& name) const;
    bool hasKey(const QString& keyPath) const;
    // While unreadable, every store operation fails as a damaged registry does.
    void setUnreadable(bool unreadable) { m_unreadable = unreadable; }
    // Every operation on keyPath and the keys below it (or every write only) fails as a registry that
    // cannot be asked does (a tool that timed out), with reason as its words; an empty reason ends that.
    void failUnder(const QString& keyPath, const QString& reason, bool writesOnly = false);
    QString lastError() const override { return m_lastError; }
    int restartRequests() const { return m_restartRequests; }
    void setCanRestart(bool can) { m_canRestart = can; }
    bool canRestart() const override { return m_canRestart; }
    int writeCount() const { return m_writes; }
    int readCount() const { return m_reads; }

    bool requestRestart() override;
    QString targetName() const override { return QStringLiteral("memory:"); }

protected:
    long storeKeyExists(const QString& path, bool* exists) override;
    long storeCreateKey(const QString& path, bool* created) override;
    long storeReadValue(const QString& path, const QString& name, RegValue* value) override;
    long storeWriteValue(const QString& path, const QString& name, const RegValue& value) override;
    long storeDeleteValue(const QString& path, const QString& name) override;
    long storeValueNames(const QString& path, QStringList* names) override;

private:
    // ERROR_SUCCESS, or the failure an operation on path meets.
    long failure(const QString& path, long status);

    struct Key {
        QHash<QString, std::pair<QString, RegValue>> values; // by lower-case name
        QStringList order;                                   // lower-case names as first written
        void put(const QString& name, const RegValue& value) {
            if (!values.contains(name.toLower()))
                order.append(name.toLower());
            values.insert(name.toLower(), {name, value});
        }
    };
    QHash<QString, Key> m_keys; // by lower-case full path
    bool m_unreadable = false;
    struct Failing {
        QString reason;
        bool writesOnly = false;
    };
    QHash<QString, Failing> m_failing; // by lower-case key path
    QString m_lastError;
    bool m_canRestart = true;
    int m_restartRequests = 0;
    int m_writes = 0;
    int m_reads = 0;
};

// The values a fresh Windows 98 machine answers with: version and computer name.
struct SeedValue {
    QString keyPath;
    QString name;
    RegValue value;
};
QList<SeedValue> windows98Seed(const QString& computerName);

} // namespace tavimor
