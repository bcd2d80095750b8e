// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PolicyFolder.h"
#include "registry/RegistryBackend.h"

#include <QHash>
#include <memory>

namespace tavimor {

class PolicyCommit;

// The registry of an offline Windows together with its own Group Policy folder
// (Windows/System32/GroupPolicy), whose User/Registry.pol and Machine/Registry.pol that Windows
// applies again at every policy refresh. A write to a value a file speaks of is made there too (the
// record set to the new value where the file sets or deletes it, dropped where the value is deleted)
// and gpt.ini's version raised, so a machine that was unlocked is not locked again; a file is never
// made where there is none. The files are written first and put back when the registry refuses.
class LocalPolicyBackend : public RegistryBackend {
public:
    LocalPolicyBackend(std::unique_ptr<RegistryBackend> registry, const QString& folder)
        : m_registry(std::move(registry))
        , m_folder(folder) {}

    long openKey(HKEY key, const QString& subKey, quint32 access, HKEY* result) override;
    long createKey(HKEY key, const QString& subKey, quint32 access, HKEY* result,
                   quint32* disposition) override;
    long queryValue(HKEY key, const QString& name, quint32* type, QByteArray* data, quint32* size) override {
        return m_registry->queryValue(key, name, type, data, size);
    }
    long setValue(HKEY key, const QString& name, quint32 type, const QByteArray& data) override;
    long deleteValue(HKEY key, const QString& name) override;
    long valueNames(HKEY key, QStringList* names) override { return m_registry->valueNames(key, names); }
    long closeKey(HKEY key) override;
    long applyChanges(const QList<RegChange>& changes, qsizetype* failed) override;

    std::optional<QString> computerName() override { return m_registry->computerName(); }
    WindowsVersion windowsVersion() override { return m_registry->windowsVersion(); }
    bool requestRestart() override { return m_registry->requestRestart(); }
    bool canRestart() const override { return m_registry->canRestart(); }
    QString writeRefusal() const override { return m_registry->writeRefusal(); }
    QString targetName() const override { return m_registry->targetName(); }
    QString lastError() const override {
        return m_lastError.isEmpty() ? m_registry->lastError() : m_lastError;
    }
    std::optional<PolicyFileSetting> policyFileSetting(HKEY hive, const QString& subKey,
                                                       const QString& name) override;

private:
    struct Change {
        QString path; // "HKEY_CURRENT_USER\..."
        QString name;
        RegChange::Kind kind = RegChange::Kind::SetValue;
        RegValue value;
        RegChange::Mark mark = RegChange::Mark::None;
    };
    // Writes what the changes mean for the policy files; *commit is left to be undone when the
    // registry refuses. ERROR_SUCCESS also when the files say nothing of them.
    long writePolicy(const QList<Change>& changes, std::unique_ptr<PolicyCommit>* commit);
    // Notes which key a handle the registry gave stands for.
    void remember(HKEY parent, const QString& subKey, long status, const HKEY* handle);

    std::unique_ptr<RegistryBackend> m_registry;
    PolicyFolder m_folder;
    QHash<HKEY, QString> m_paths; // the key each open handle stands for
    QString m_lastError;
};

} // namespace tavimor
