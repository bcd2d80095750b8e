// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplyPlan.h"

#include "base/ErrorHandler.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/TemplatePlan.h"
#include "registry/MSDNRegistry.h"

#include <QSet>

namespace tavimor {

namespace {

// The trap's number for a value that is no number, as the platform's type mismatch.
constexpr qint32 kTypeMismatch = 13;
const QString kSource = QStringLiteral("bGlobal.ApplyMachineCatalogue");

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

bool keyExists(MSDNRegistry& registry, HKEY hive, const QString& path) {
    HKEY key = 0;
    if (registry.backend().openKey(hive, path, KEY_TAVIMOR_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    registry.backend().closeKey(key);
    return true;
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
    ApplyPlan plan;
    QSet<QString> createdKeys;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        if (plan.stop || (scope == PlanScope::OnlySet && !entryIsSet(entry)))
            return;
        PlannedWrite step;
        step.address = entryAddress(s, e);
        if (only && !only->contains(step.address))
            return;
        step.section = entry.section();
        step.name = entry.text("NAME");
        step.hive = entry.text("KEY");
        step.keyPath = entry.text("PATH");
        step.valueName = entry.text("REGNAME");
        const XmlNode current = entry.currentValue();
        if (current.isNull()) {
            plan.stop =
                PlanStop{step.address, step.title(), QStringLiteral("the entry has no VALUES/CURRENTVALUE")};
            return;
        }
        const HKEY root = GetKeyValue(step.hive);
        if (!writesValue(entry.datatype())) {
            // The pass creates every entry's key; only a missing one is a change.
            if (!createdKeys.contains(keyName(step.hive, step.keyPath)) &&
                !keyExists(registry, root, step.keyPath)) {
                step.action = PlannedWrite::Action::CreateKey;
                plan.steps.append(step);
                noteKeyAndParents(createdKeys, step.hive, step.keyPath);
            }
            return;
        }
        const std::optional<qint32> wanted = toLong(current.text().toUpper());
        if (!wanted) {
            plan.stop = PlanStop{step.address, step.title(),
                                 QStringLiteral("\"%1\" is not a number").arg(current.text())};
            return;
        }
        step.before = registry.ReadKeyValue(root, step.keyPath, step.valueName);
        step.after = *wanted;
        if (step.before == RegDatum::integer(*wanted))
            return;
        step.needsRestart = entry.needsRestart();
        plan.steps.append(step);
        noteKeyAndParents(createdKeys, step.hive, step.keyPath);
    });
    if (templates && !plan.stop)
        planTemplates(plan, registry.backend(), catalogue, *templates, scope, only);
    return plan;
}

bool executePlan(ProgramContext& context, const ApplyPlan& plan,
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
    qsizetype failed = -1;
    const long status =
        changes.isEmpty() ? ERROR_SUCCESS : context.registry.backend().applyChanges(changes, &failed);
    for (qsizetype i = 0; i < plan.steps.size(); ++i) {
        const PlannedWrite& step = plan.steps[i];
        if (status != ERROR_SUCCESS && i == failed) {
            QString why = context.registry.failureText(status);
            if (why.endsWith(QLatin1Char('.')))
                why.chop(1);
            context.errors.HandleError(
                qint32(status),
                QStringLiteral("%1: %2 could not be written: %3; the entries after it were not applied.")
                    .arg(step.title(), plannedPlace(step), why),
                kSource);
            return false;
        }
        if (step.needsRestart)
            context.restartNeeded = true;
        if (written)
            written(step);
    }
    if (plan.stop) {
        context.errors.HandleError(kTypeMismatch,
                                   QStringLiteral("%1: %2; the entries after it were not applied.")
                                       .arg(plan.stop->title, plan.stop->reason),
                                   kSource);
        return false;
    }
    return true;
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
    if (value.isText())
        return QLatin1Char('"') + value.toText() + QLatin1Char('"');
    return value.toText();
}

} // namespace tavimor
