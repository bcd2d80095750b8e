// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplatePlan.h"

#include "catalogue/TemplateStates.h"
#include "templates/PolicyReader.h"
#include "templates/PolicyWriter.h"

#include <QHash>

namespace tavimor {

namespace {

using Status = PolicyRegistryView::Status;

QString hiveText(HKEY hive) {
    return hive == HKEY_CURRENT_USER ? QStringLiteral("HKEY_CURRENT_USER")
                                     : QStringLiteral("HKEY_LOCAL_MACHINE");
}

// A stated deletion kept as a record reads "deleted" ("emptied" for a key's values), so a plan line
// for writing one does not read "absent -> absent".
QString afterText(const RegChange& change, bool records) {
    const bool stated = records && change.mark == RegChange::Mark::Stated;
    switch (change.kind) {
    case RegChange::Kind::SetValue:
        return PolicyReader::valueText(change.value) +
               (change.mark == RegChange::Mark::Soft ? QStringLiteral(" (where missing)") : QString());
    case RegChange::Kind::DeleteValues:
        return stated ? QStringLiteral("emptied") : QStringLiteral("no values");
    case RegChange::Kind::DeleteValue:
        return stated ? QStringLiteral("deleted") : QStringLiteral("absent");
    case RegChange::Kind::CreateKey:
        break;
    }
    return QStringLiteral("absent");
}

// What the registry holds at the change's place, as plan lines show it; *done when the change
// would change nothing there. Unread when the target failed to tell. Where the target keeps stated
// deletions as records (records), a stated deletion needs its record, and any other deletion needs
// the record gone too.
Status before(PolicyRegistryView& view, const RegChange& change, const QStringList& writtenAfter,
              bool records, QString* text, bool* done) {
    const bool stated = records && change.mark == RegChange::Mark::Stated;
    if (change.kind == RegChange::Kind::DeleteValues) {
        QStringList names;
        Status status = view.valueNames(change.hive, change.subKey, &names);
        // A key that holds no value but those the policy writes into it next needs no emptying.
        names.removeIf([&](const QString& name) { return writtenAfter.contains(name, Qt::CaseInsensitive); });
        *done = status == Status::Absent || (status == Status::Present && names.isEmpty()) ||
                (status == Status::Deleted && stated);
        *text = status == Status::Deleted ? QStringLiteral("emptied")
                : *done                   ? QStringLiteral("no values")
                                          : QStringLiteral("%1 value(s)").arg(names.size());
        if (*done && stated && status != Status::Deleted) {
            RegValue record;
            status = view.value(change.hive, change.subKey, QStringLiteral("**delvals."), &record);
            *done = status == Status::Present;
            if (*done)
                *text = QStringLiteral("emptied");
        }
        return status == Status::Unread ? status : Status::Present;
    }
    RegValue value;
    const Status status = view.value(change.hive, change.subKey, change.name, &value);
    const bool present = status == Status::Present;
    *text = present                     ? PolicyReader::valueText(value)
            : status == Status::Deleted ? QStringLiteral("deleted")
                                        : QStringLiteral("absent");
    if (change.kind == RegChange::Kind::SetValue)
        *done =
            present && (change.mark == RegChange::Mark::Soft || PolicyReader::sameValue(value, change.value));
    else
        *done = status == (stated ? Status::Deleted : Status::Absent);
    return status;
}

} // namespace

QString changePlace(const RegChange& change) {
    QString place = hiveText(change.hive) + QLatin1Char('\\') + change.subKey;
    if (change.kind == RegChange::Kind::DeleteValues)
        return place + QStringLiteral("\\*");
    if (change.kind != RegChange::Kind::CreateKey)
        place += QLatin1Char('\\') + change.name;
    return place;
}

void planTemplates(ApplyPlan& plan, RegistryBackend& backend, const XmlDocument& catalogue,
                   const TemplateSet& set, PlanScope scope, const QStringList* only) {
    QHash<const PolicyInstance*, PolicySetting> wanted;
    for (const StoredPolicy& stored : TemplateStates::read(catalogue, &set)) {
        if (stored.policy)
            wanted.insert(stored.policy, stored.setting);
        else
            plan.notes.append(QStringLiteral("%1:%2 (%3): its template is not loaded, so it is not applied")
                                  .arg(stored.templateNamespace, stored.name,
                                       stored.scope == PolicyClass::User ? QStringLiteral("user")
                                                                         : QStringLiteral("machine")));
    }
    BackendPolicyView view(backend);
    for (const PolicyInstance& policy : set.policies()) {
        if (plan.stop)
            return;
        const QString address = policy.name();
        if (only && !only->contains(address))
            continue;
        const PolicySetting setting = wanted.value(&policy);
        if ((scope == PlanScope::OnlySet && setting.state == PolicyState::NotConfigured) ||
            setting.state == PolicyState::Other || setting.state == PolicyState::Unread)
            continue;
        PlannedWrite step;
        step.action = PlannedWrite::Action::TemplateChange;
        step.address = address;
        step.section = set.categoryPath(policy).join(QLatin1Char('/'));
        step.name = set.displayName(policy);
        if (const QString why = PolicyValues::check(set, policy, setting); !why.isEmpty()) {
            plan.stop = PlanStop{address, step.title(), why};
            return;
        }
        QList<PlannedWrite> steps;
        bool unread = false;
        const QList<RegChange> changes = PolicyWriter::changes(policy, setting);
        for (qsizetype i = 0; i < changes.size(); ++i) {
            const RegChange& change = changes[i];
            bool done = false;
            if (before(view, change, PolicyWriter::writtenAfter(changes, i), backend.keepsStatedDeletions(),
                       &step.beforeText, &done) == Status::Unread) {
                unread = true;
                break;
            }
            if (done)
                continue;
            step.change = change;
            step.hive = hiveText(change.hive);
            step.keyPath = change.subKey;
            step.valueName = change.name;
            step.afterText = afterText(change, backend.keepsStatedDeletions());
            steps.append(step);
        }
        if (unread)
            plan.notes.append(QStringLiteral("%1: not applied, since its values could not be read: %2")
                                  .arg(address, view.unreadReason()));
        else
            plan.steps += steps;
    }
}

} // namespace tavimor
