// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateEdit.h"

#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplatePlan.h"
#include "catalogue/TemplateStates.h"
#include "templates/PolicyReader.h"
#include "templates/PolicyWriter.h"

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
        return status == Status::Absent || status == Status::Present;
    }
    RegValue value;
    const Status status = view.value(change.hive, change.subKey, change.name, &value);
    if (change.kind == RegChange::Kind::DeleteValue)
        return status == Status::Absent;
    return status == Status::Present &&
           (change.mark == RegChange::Mark::Soft || PolicyReader::sameValue(value, change.value));
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
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    return true;
}

void applyPolicyLater(ProgramContext& context, const PolicyInstance& policy, const PolicySetting& setting) {
    TemplateStates::store(context.workingCatalogue, *context.templates, policy, setting);
}

} // namespace tavimor
