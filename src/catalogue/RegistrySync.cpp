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

void RefreshCurrentValues(ProgramContext& context, const QString& address) {
    // The whole catalogue's refresh reads the template policies too; without templates it is the
    // entries' refresh alone.
    if (address == QLatin1String(kAllEntries))
        TemplateStates::refresh(context);
    for (const XmlNode& node : context.machineCatalogue.selectNodes(address)) {
        const CatalogueEntry entry(node);
        const QString type = entry.datatype();
        if (type != kBoolean && type != kNumeric)
            continue;
        XmlNode current = entry.currentValue();
        if (current.isNull())
            continue;
        const RegDatum value = context.registry.ReadKeyValue(GetKeyValue(entry.text("KEY")),
                                                             entry.text("PATH"), entry.text("REGNAME"));
        QString text = value.toText();
        if (type == kBoolean && text.isEmpty())
            text = QStringLiteral("0");
        current.setText(text);
    }
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
        ApplyMachineCatalogue(context);
    }
    return 0;
}

bool ApplyMachineCatalogue(ProgramContext& context) {
    return executePlan(context, planApply(context.registry, context.machineCatalogue, PlanScope::AllEntries,
                                          nullptr, context.templates));
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
