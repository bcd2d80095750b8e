// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Hivex.h"
#include "registry/KeyStoreBackend.h"

#include <array>
#include <functional>
#include <memory>

namespace tavimor {

// The registry of a Windows installation that is not running, from its hive files:
// HKEY_CURRENT_USER from the user's NTUSER.DAT, HKEY_LOCAL_MACHINE\Software (and
// HKEY_CLASSES_ROOT as its Classes) from SOFTWARE, HKEY_LOCAL_MACHINE\System from SYSTEM.
// Every write is committed to the file at once; a hive Windows has not finished writing is refused.
class HiveBackend : public KeyStoreBackend {
public:
    struct Files {
        QString user;
        QString software;
        QString system;
    };

    // Any of the files may be left out. nullptr with *error set when a named file is no hive
    // or has changes still in its transaction logs. name is the target as the user gave it.
    static std::unique_ptr<HiveBackend> open(const Files& files, const QString& name, QString* error);

    QString lastError() const override { return m_lastError; }

    // An installation that is not running takes every change at its next start.
    bool requestRestart() override { return true; }
    QString targetName() const override { return m_name; }
    // How long a write waits for another process's lock.
    void setLockTimeout(int milliseconds) { m_lockTimeout = milliseconds; }

    // What tells a file apart from the one read before.
    struct Stamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        bool operator==(const Stamp&) const = default;
    };

protected:
    long storeKeyExists(const QString& path, bool* exists) override;
    long storeCreateKey(const QString& path, bool* created) override;
    long storeReadValue(const QString& path, const QString& name, RegValue* value) override;
    long storeWriteValue(const QString& path, const QString& name, const RegValue& value) override;
    long storeDeleteValue(const QString& path, const QString& name) override;
    long storeValueNames(const QString& path, QStringList* names) override;

private:
    enum Which { User, Software, System };
    struct HiveFile {
        QString path;
        std::unique_ptr<Hivex> hive;
        Stamp stamp;
    };
    struct Location {
        int hive = -1; // -1: a root above the hives, such as HKEY_LOCAL_MACHINE itself
        QString path;
    };

    HiveBackend() = default;

    std::optional<Location> locate(const QString& fullPath);
    // The hive as the file holds it now; ERROR_HIVE_MISSING when the target has no such file.
    long load(int which, bool writable);
    // Under the hive's lock: reads the hive, runs change, commits when it changed something, and reads
    // the file back; outcome tells what must read back as it was in memory after the change.
    long modify(int which, const std::function<long(Hivex&, bool* changed)>& change,
                const std::function<QByteArray(const Hivex&)>& outcome);

    std::array<HiveFile, 3> m_hives;
    QString m_name;
    QString m_lastError;
    int m_lockTimeout = 3000;
};

} // namespace tavimor
