// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegistrySync.h"

#include "base/Prompter.h"
#include "catalogue/ApplyPlan.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/TemplateStates.h"
#include "registry/RegDatum.h"

namespace tavimor {

namespace {
const QString kBoolean = QStringLiteral("BOOLEAN");
const QString kNumeric = QStringLiteral("NUMERIC");
} // namespace

UnreadTally RefreshCurrentValues(ProgramContext& context, const QString& address) {
    QList<std::pair<CatalogueEntry, XmlNode>> entries;
    QList<RegKeyName> keys;
    for (const XmlNode& node : context.machineCatalogue.selectNodes(address)) {
        const CatalogueEntry entry(node);
        const QString type = entry.datatype();
        if (type != kBoolean && type != kNumeric)
            continue;
        XmlNode current = entry.currentValue();
        if (current.isNull())
            continue;
        entries.append({entry, current});
        keys.append({GetKeyValue(entry.text("KEY")), entry.text("PATH")});
    }
    // Asked together, a target where each question is dear answers the whole refresh at once.
    context.registry.backend().prepareReads(keys);
    // The whole catalogue's refresh reads the template policies too, after the entries' keys were
    // asked for: what those fetched answers the policies below them. Without templates it is the
    // entries' refresh alone.
    if (address == QLatin1String(kAllEntries))
        TemplateStates::refresh(context);
    UnreadTally unread;
    for (const auto& [entry, current] : std::as_const(entries)) {
        const RegDatum value = context.registry.ReadKeyValue(GetKeyValue(entry.text("KEY")),
                                                             entry.text("PATH"), entry.text("REGNAME"));
        if (value.isUnread()) {
            markUnread(current, value.unreadReason());
            unread.add(entry.text("KEY"), value.unreadReason());
            continue;
        }
        QString text = value.toText();
        if (entry.datatype() == kBoolean && text.isEmpty())
            text = QStringLiteral("0");
        setCurrentValue(current, text);
    }
    return unread;
}

QString entryStateText(const CatalogueEntry& entry) {
    if (entry.unreadReason())
        return QLatin1String(kUnknownState);
    return StateText(entry.currentValue().text(), entry.datatype());
}

void sayUnreadOnce(ProgramContext& context) {
    UnreadTally unread;
    forEachEntry(context.machineCatalogue,
                 [&](const CatalogueEntry& entry, int, int) { unread.addEntry(entry); });
    QStringList lines;
    for (const UnreadTally::Group& group : unread.groups()) {
        const QString said = group.hive + QLatin1Char('\n') + group.reason;
        if (!context.unreadSaid.contains(said)) {
            context.unreadSaid.insert(said);
            lines.append(UnreadTally::line(group));
        }
    }
    if (!lines.isEmpty())
        context.prompter.message(
            QStringLiteral("Some values could not be read from the registry. They show as "
                           "Unknown and are neither applied nor saved as values.\r\n\r\n") +
                lines.join(QStringLiteral("\r\n")),
            context.appTitle, MessageIcon::Exclamation, MessageButtons::Ok);
}

bool changesPending(const ProgramContext& context) {
    return !context.machineCatalogue.sameContent(context.workingCatalogue);
}

qint16 ConfirmPendingChanges(ProgramContext& context) {
    if (!changesPending(context))
        return 0;
    const Answer answer = context.prompter.message(
        QStringLiteral("Few of the changes you have made have not been applied to the system. "
                       "Do you want apply them now?"),
        context.appTitle, MessageIcon::Question, MessageButtons::YesNoCancel);
    if (answer == Answer::Cancel)
        return 1;
    if (answer == Answer::Yes) {
        context.machineCatalogue.copyFrom(context.workingCatalogue);
        // What was not applied stays pending: the machine catalogue shows the registry again.
        if (!ApplyMachineCatalogue(context)) {
            RefreshCurrentValues(context, QLatin1String(kAllEntries));
            return 1;
        }
    }
    return 0;
}

bool ApplyMachineCatalogue(ProgramContext& context) {
    const ApplyPlan plan = planApply(context.registry, context.machineCatalogue, PlanScope::AllEntries,
                                     nullptr, context.templates);
    const ApplyOutcome outcome = executePlan(context, plan);
    if (!outcome.complete)
        context.prompter.message(QStringLiteral("Not every change could be applied; those not applied are "
                                                "still pending.\r\n\r\n") +
                                     outcome.lines(plan).join(QStringLiteral("\r\n")),
                                 context.appTitle, MessageIcon::Exclamation, MessageButtons::Ok);
    return outcome.complete;
}

QString StateText(const QString& value, const QString& type) {
    if (type != kBoolean)
        return value;
    if (value.isEmpty())
        return QStringLiteral("Disabled");
    // A settings file may hold a text that is no number; it is shown as it stands.
    const std::optional<qint32> number = toLong(value);
    if (!number)
        return value;
    return *number == 0 ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
}

} // namespace tavimor
