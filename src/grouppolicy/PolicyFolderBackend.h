// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PolicyCommit.h"
#include "PolicyFolder.h"
#include "registry/KeyStoreBackend.h"

#include <array>
#include <memory>

namespace tavimor {

// A folder of Group Policy registry files as a registry (the target "pol:DIR"): the values
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE get on a client that applies User/Registry.pol and
// Machine/Registry.pol. Any type is kept as its record; a name beginning with "**" ("**del.NAME",
// "**delvals.") is a record of its own, and deleting a value drops every record for it, so that
// the files no longer speak of it. Each write takes the folder's lock, reads the files afresh and
// replaces those that change atomically; a file that cannot be read is reported, never taken as empty.
class PolicyFolderBackend : public KeyStoreBackend {
public:
    // The folder must exist when mustExist; otherwise the first write makes it.
    static std::unique_ptr<PolicyFolderBackend> open(const QString& folder, const QString& name,
                                                     bool mustExist, QString* error);

    // The changes go into the files at once: one lock, one write per file that changes.
    long applyChanges(const QList<RegChange>& changes, qsizetype* failed) override;

    std::optional<QString> computerName() override { return std::nullopt; }
    // The Windows that applies Group Policy: the NT family, from Windows 2000 on.
    WindowsVersion windowsVersion() override;
    bool requestRestart() override { return false; }
    bool canRestart() const override { return false; }
    QString targetName() const override { return m_name; }
    QString lastError() const override { return m_lastError; }
    bool keepsStatedDeletions() const override { return true; }

protected:
    PolicyFolderBackend(const QString& folder, const QString& name)
        : m_folder(folder)
        , m_name(name) {}

    long storeKeyExists(const QString& path, bool* exists) override;
    long storeCreateKey(const QString& path, bool* created) override;
    long storeReadValue(const QString& path, const QString& name, RegValue* value) override;
    long storeWriteValue(const QString& path, const QString& name, const RegValue& value) override;
    long storeDeleteValue(const QString& path, const QString& name) override;
    long storeValueNames(const QString& path, QStringList* names) override;

    // Writes the changed files; a GPO also raises its versions. false with *error, nothing written.
    virtual bool publish(PolicyCommit& commit, const std::array<bool, 2>& holdsRecords, QString* error);
    virtual GptUpdate gptUpdate() const { return GptUpdate::None; }
    // Why a file cannot be read now, naming it; "" when both can.
    QString unreadable();

private:
    struct Place {
        PolScope scope = PolScope::User;
        QString key; // below the hive; "" for the hive itself
    };
    struct Loaded {
        bool read = false;
        std::optional<FileStamp> stamp;
        PolFile file;
        long status = ERROR_SUCCESS;
        QString error;
    };
    std::optional<Place> place(const QString& fullPath) const;
    // The file as it is on disk now; the status of reading it, m_lastError naming it.
    long load(PolScope scope);
    // Makes edits in order under the folder's lock; *made how many were made.
    struct Edit {
        QString path;
        QString name;
        RegChange::Kind kind = RegChange::Kind::SetValue;
        RegValue value;
        RegChange::Mark mark = RegChange::Mark::None;
    };
    static void editFile(PolFile& file, const QString& key, const Edit& change);
    long edit(const QList<Edit>& edits, qsizetype* made);

    PolicyFolder m_folder;
    QString m_name;
    QString m_lastError;
    std::array<Loaded, 2> m_loaded;
    QStringList m_madeKeys; // keys made here that no record holds yet
};

} // namespace tavimor
