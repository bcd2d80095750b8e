// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RegEditFile.h"
#include "registry/KeyStoreBackend.h"

#include <functional>
#include <memory>

namespace tavimor {

// A registry kept in one REGEDIT4 file. Other processes may use the same file: reads pick up
// their saves, and every write holds a lock file, reloads, changes and saves atomically.
class RegFileBackend : public KeyStoreBackend {
public:
    // A missing file is created as a fresh Windows 98 machine. nullptr with *error set when the
    // file cannot be read ("PATH:LINE: reason" for one that does not parse); it is then left as is.
    static std::unique_ptr<RegFileBackend> open(const QString& path, const QString& computerName,
                                                QString* error);

    QString path() const { return m_path; }
    // Why the last failing operation failed.
    QString lastError() const override { return m_lastError; }
    // How long a write waits for another process's lock.
    void setLockTimeout(int milliseconds) { m_lockTimeout = milliseconds; }

    // Reads through a key see the file as it was when the key was opened: one look at the file
    // per key opened, not one per read.
    long openKey(HKEY key, const QString& subKey, quint32 access, HKEY* result) override;
    long closeKey(HKEY key) override;
    // A batch is one save of the file: a policy's dozen values cost one write, not a dozen.
    long applyChanges(const QList<RegChange>& changes, qsizetype* failed) override;
    bool requestRestart() override { return false; }
    bool canRestart() const override { return false; }
    QString targetName() const override { return QStringLiteral("file:") + m_path; }

protected:
    long storeKeyExists(const QString& path, bool* exists) override;
    long storeCreateKey(const QString& path, bool* created) override;
    long storeReadValue(const QString& path, const QString& name, RegValue* value) override;
    long storeWriteValue(const QString& path, const QString& name, const RegValue& value) override;
    long storeDeleteValue(const QString& path, const QString& name) override;
    long storeValueNames(const QString& path, QStringList* names) override;

private:
    struct FileStamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };

    explicit RegFileBackend(const QString& path);

    long refresh();
    long reload();
    bool create(const QString& computerName);
    // Runs change on a copy of the file's latest text under the lock and saves it when it says so;
    // only while creating may the file be missing.
    long modify(const std::function<long(RegEditFile&, bool* changed)>& change, bool creating = false);
    bool save(const RegEditFile& file);
    std::optional<FileStamp> stamp(int fd = -1) const;

    QString m_path;
    QByteArray m_encodedPath;
    std::optional<RegEditFile> m_file;
    std::optional<FileStamp> m_stamp; // of the text m_file (or the failure) came from
    long m_status = ERROR_SUCCESS;    // of the last reload
    bool m_openChecked = false;       // the file was looked at as a key was opened, none closed since
    QString m_lastError;
    int m_lockTimeout = 3000;
};

} // namespace tavimor
