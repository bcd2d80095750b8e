// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplyPlan.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/TemplatePlan.h"
#include "registry/MSDNRegistry.h"

#include <QSet>

namespace tavimor {

namespace {

bool writesValue(const QString& type) {
    return type == QLatin1String("BOOLEAN") || type == QLatin1String("NUMERIC");
}

bool isNotSet(const QString& text) {
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() || trimmed.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0;
}

QString keyName(const QString& hive, const QString& path) {
    return (hive + QLatin1Char('\\') + path).toLower();
}

// Whether the key is there; nullopt, with *why, when that could not be read.
std::optional<bool> keyExists(MSDNRegistry& registry, HKEY hive, const QString& path, QString* why) {
    HKEY key = 0;
    const long status = registry.backend().openKey(hive, path, KEY_TAVIMOR_ACCESS, &key);
    if (status == ERROR_SUCCESS) {
        registry.backend().closeKey(key);
        return true;
    }
    if (hive == 0 || isNotThere(status))
        return false;
    *why = registry.failureText(status);
    return std::nullopt;
}

QString withoutFullStop(QString text) {
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// A key written by an earlier step exists afterwards, and so do its parents.
void noteKeyAndParents(QSet<QString>& keys, const QString& hive, const QString& path) {
    QString key = keyName(hive, path);
    keys.insert(key);
    for (qsizetype slash = key.lastIndexOf(QLatin1Char('\\')); slash > 0;
         slash = key.lastIndexOf(QLatin1Char('\\'))) {
        key.truncate(slash);
        keys.insert(key);
    }
}

} // namespace

bool ApplyPlan::restartNeeded() const {
    for (const PlannedWrite& step : steps)
        if (step.needsRestart)
            return true;
    return false;
}

bool entryIsSet(const CatalogueEntry& entry) {
    const QString current = entry.currentValue().text();
    if (isNotSet(current))
        return false;
    const QString fallback = entry.values().firstChildElement("DEFAULTVALUE").text();
    if (isNotSet(fallback))
        return true;
    const std::optional<qint32> number = toLong(current.toUpper());
    return !number || toLong(fallback.toUpper()) != number;
}

ApplyPlan planApply(MSDNRegistry& registry, const XmlDocument& catalogue, PlanScope scope,
                    const QStringList* only, const TemplateSet* templates) {
    // The entries to look at first, so that the registry is asked about all their keys at once.
    QList<std::pair<CatalogueEntry, QString>> entries;
    QList<RegKeyName> keys;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        if (scope == PlanScope::OnlySet && !entryIsSet(entry))
            return;
        const QString address = entryAddress(s, e);
        if (only && !only->contains(address))
            return;
        entries.append({entry, address});
        keys.append({GetKeyValue(entry.text("KEY")), entry.text("PATH")});
    });
    registry.backend().prepareReads(keys);

    ApplyPlan plan;
    QSet<QString> createdKeys;
    for (const auto& [entry, address] : std::as_const(entries)) {
        PlannedWrite step;
        step.address = address;
        step.section = entry.section();
        step.name = entry.text("NAME");
        step.hive = entry.text("KEY");
        step.keyPath = entry.text("PATH");
        step.valueName = entry.text("REGNAME");
        const XmlNode current = entry.currentValue();
        if (current.isNull()) {
            plan.stop =
                PlanStop{step.address, step.title(), QStringLiteral("the entry has no VALUES/CURRENTVALUE")};
            break;
        }
        const HKEY root = GetKeyValue(step.hive);
        if (!writesValue(entry.datatype())) {
            // The pass creates every entry's key; only a missing one is a change.
            if (createdKeys.contains(keyName(step.hive, step.keyPath)))
                continue;
            QString why;
            const std::optional<bool> exists = keyExists(registry, root, step.keyPath, &why);
            if (!exists) {
                plan.leftOut.add(step.hive, why);
            } else if (!*exists) {
                step.action = PlannedWrite::Action::CreateKey;
                plan.steps.append(step);
                noteKeyAndParents(createdKeys, step.hive, step.keyPath);
            }
            continue;
        }
        // A value that was never read is no value to write.
        if (const std::optional<QString> unread = entry.unreadReason()) {
            plan.leftOut.add(step.hive, *unread);
            continue;
        }
        const std::optional<qint32> wanted = toLong(current.text().toUpper());
        if (!wanted) {
            plan.stop = PlanStop{step.address, step.title(),
                                 QStringLiteral("\"%1\" is not a number").arg(current.text())};
            break;
        }
        step.before = registry.ReadKeyValue(root, step.keyPath, step.valueName);
        if (step.before.isUnread()) {
            plan.leftOut.add(step.hive, step.before.unreadReason());
            continue;
        }
        step.after = *wanted;
        if (step.before == RegDatum::integer(*wanted))
            continue;
        step.needsRestart = entry.needsRestart();
        plan.steps.append(step);
        noteKeyAndParents(createdKeys, step.hive, step.keyPath);
    }
    if (templates && !plan.stop)
        planTemplates(plan, registry.backend(), catalogue, *templates, scope, only);
    return plan;
}

ApplyOutcome executePlan(ProgramContext& context, const ApplyPlan& plan,
                         const std::function<void(const PlannedWrite&)>& written) {
    // The steps go to the registry as one batch, which a target may write at once.
    QList<RegChange> changes;
    for (const PlannedWrite& step : plan.steps) {
        RegChange change{RegChange::Kind::CreateKey, GetKeyValue(step.hive), step.keyPath, {}, {}};
        if (step.action == PlannedWrite::Action::TemplateChange)
            change = step.change;
        else if (step.action == PlannedWrite::Action::WriteValue)
            change = {RegChange::Kind::SetValue, change.hive, step.keyPath, step.valueName,
                      regDword(quint32(step.after))};
        changes.append(change);
    }
    ApplyOutcome outcome;
    // A step the registry refuses is named, and the batch goes on after it.
    for (qsizetype from = 0; from < changes.size();) {
        qsizetype failed = -1;
        const long status = context.registry.backend().applyChanges(changes.mid(from), &failed);
        const qsizetype end = status == ERROR_SUCCESS
                                  ? changes.size()
                                  : from + qBound<qsizetype>(0, failed, changes.size() - from - 1);
        for (qsizetype i = from; i < end; ++i) {
            const PlannedWrite& step = plan.steps[i];
            if (step.needsRestart)
                context.restartNeeded = true;
            if (written)
                written(step);
        }
        if (status == ERROR_SUCCESS)
            break;
        outcome.failed.append({plan.steps[end], withoutFullStop(context.registry.failureText(status))});
        from = end + 1;
    }
    outcome.complete = outcome.failed.isEmpty() && !plan.stop && plan.leftOut.isEmpty();
    return outcome;
}

QStringList ApplyOutcome::lines(const ApplyPlan& plan) const {
    QStringList lines = plan.leftOut.lines();
    for (const FailedWrite& failure : failed)
        lines.append(QStringLiteral("%1: %2 could not be written: %3")
                         .arg(failure.step.title(), plannedPlace(failure.step), failure.reason));
    if (plan.stop)
        lines.append(QStringLiteral("%1: %2; the entries after it were not applied")
                         .arg(plan.stop->title, plan.stop->reason));
    return lines;
}

QString plannedPlace(const PlannedWrite& step) {
    if (step.action == PlannedWrite::Action::TemplateChange)
        return changePlace(step.change);
    QString place = step.hive + QLatin1Char('\\') + step.keyPath;
    if (step.action == PlannedWrite::Action::WriteValue)
        place += QLatin1Char('\\') + step.valueName;
    return place;
}

QString plannedValueText(const RegDatum& value) {
    if (value.isNothing())
        return QStringLiteral("absent");
    if (value.isUnread())
        return QStringLiteral("unknown");
    if (value.isText())
        return QLatin1Char('"') + value.toText() + QLatin1Char('"');
    return value.toText();
}

} // namespace tavimor
