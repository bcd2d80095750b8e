// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateEdit.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplatePlan.h"
#include "catalogue/TemplateStates.h"
#include "registry/MSDNRegistry.h"
#include "templates/PolicyReader.h"
#include "templates/PolicyWriter.h"

#include <QSet>
#include <algorithm>

namespace tavimor {

namespace {

// The change holds in the registry as read now. A key a batch empties may hold the values the
// batch writes into it after.
bool holds(PolicyRegistryView& view, const RegChange& change, const QStringList& writtenAfter) {
    using Status = PolicyRegistryView::Status;
    if (change.kind == RegChange::Kind::DeleteValues) {
        QStringList names;
        const Status status = view.valueNames(change.hive, change.subKey, &names);
        for (const QString& name : std::as_const(names))
            if (!writtenAfter.contains(name, Qt::CaseInsensitive))
                return false;
        return status != Status::Unread;
    }
    RegValue value;
    const Status status = view.value(change.hive, change.subKey, change.name, &value);
    if (change.kind == RegChange::Kind::DeleteValue)
        return status == Status::Absent ||
               (status == Status::Deleted && change.mark == RegChange::Mark::Stated);
    return status == Status::Present &&
           (change.mark == RegChange::Mark::Soft || PolicyReader::sameValue(value, change.value));
}

QString keyId(HKEY hive, const QString& subKey) {
    return QString::number(hive) + QLatin1Char('\\') + subKey.toLower();
}

// The policies whose state the batch may have changed: those written, and those that read a key it
// wrote (a template's policies often share one key).
QList<const PolicyInstance*> policiesWritten(const TemplateSet& set, const PolicySettings& settings,
                                             const QList<RegChange>& changes) {
    QSet<QString> keys;
    for (const RegChange& change : changes)
        keys.insert(keyId(change.hive, change.subKey));
    QList<const PolicyInstance*> policies;
    for (const auto& [policy, setting] : settings)
        policies.append(policy);
    for (const PolicyInstance& policy : set.policies()) {
        const QList<RegKeyName> read = PolicyReader::keys(policy);
        if (std::any_of(read.begin(), read.end(),
                        [&](const RegKeyName& key) { return keys.contains(keyId(key.hive, key.subKey)); }))
            policies.append(&policy);
    }
    return policies;
}

// The catalogue's entries whose values the batch wrote: a template may write what an entry shows.
QStringList entriesWritten(const XmlDocument& catalogue, const QList<RegChange>& changes) {
    QStringList addresses;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        const HKEY hive = GetKeyValue(entry.text("KEY"));
        const QString path = entry.text("PATH");
        const QString name = entry.text("REGNAME");
        if (std::any_of(changes.begin(), changes.end(), [&](const RegChange& change) {
                return change.hive == hive && change.subKey.compare(path, Qt::CaseInsensitive) == 0 &&
                       (change.kind == RegChange::Kind::DeleteValues ||
                        change.name.compare(name, Qt::CaseInsensitive) == 0);
            }))
            addresses.append(entryAddress(s, e));
    });
    return addresses;
}

} // namespace

bool applyPoliciesNow(ProgramContext& context, const PolicySettings& settings, QString* why) {
    RegistryBackend& backend = context.registry.backend();
    QList<RegChange> changes;
    for (const auto& [policy, setting] : settings)
        changes += PolicyWriter::changes(*policy, setting);
    // One batch, which a target may write at once.
    qsizetype failed = -1;
    const long status = changes.isEmpty() ? ERROR_SUCCESS : backend.applyChanges(changes, &failed);
    if (status != ERROR_SUCCESS) {
        *why = QStringLiteral("%1 could not be written: %2")
                   .arg(changePlace(changes.value(failed)), context.registry.failureText(status));
        return false;
    }
    BackendPolicyView view(backend);
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const RegChange& change = changes[i];
        if (!holds(view, change, PolicyWriter::writtenAfter(changes, i))) {
            *why = QStringLiteral("%1 does not read back as written").arg(changePlace(change));
            return false;
        }
    }
    for (const auto& [policy, setting] : settings)
        TemplateStates::store(context.workingCatalogue, *context.templates, *policy, setting);
    // Only what the batch wrote can have changed.
    TemplateStates::refresh(context, policiesWritten(*context.templates, settings, changes));
    for (const QString& address : entriesWritten(context.machineCatalogue, changes))
        RefreshCurrentValues(context, address);
    return true;
}

void applyPolicyLater(ProgramContext& context, const PolicyInstance& policy, const PolicySetting& setting) {
    TemplateStates::store(context.workingCatalogue, *context.templates, policy, setting);
}

} // namespace tavimor
