// SPDX-License-Identifier: GPL-3.0-or-later
#include "CatalogueListing.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/PolicyFileNote.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"

namespace tavimor {

QList<SectionInfo> catalogueSections(const ProgramContext& context) {
    QList<SectionInfo> sections;
    forEachSection(context.workingCatalogue, [&](const XmlNode& section, int s) {
        sections.append(
            {section.attribute(QStringLiteral("Section")).value_or(QString()), sectionAddress(s)});
    });
    return sections;
}

QList<ListRow> listRows(const ProgramContext& context, const QString& address) {
    QList<ListRow> rows;
    const XmlNode parent = context.workingCatalogue.selectSingleNode(address);
    if (parent.isNull())
        return rows;
    if (address == QLatin1String(kRootAddress)) {
        for (XmlNode child = parent.firstChildElement(); child; child = child.nextSiblingElement())
            rows.append(
                {child.attribute(QStringLiteral("Section")).value_or(QString()), {}, {}, {}, {}, false});
        return rows;
    }
    // The machine section's entries by position, gathered once.
    QList<XmlNode> machineEntries;
    const XmlNode machineSection = context.machineCatalogue.selectSingleNode(address);
    for (XmlNode entry = machineSection.firstChildElement("ENTRY"); entry; entry = entry.nextSiblingElement())
        if (entry.nodeName() == QLatin1String("ENTRY"))
            machineEntries.append(entry);

    int e = 0;
    for (XmlNode child = parent.firstChildElement(); child; child = child.nextSiblingElement(), ++e) {
        const CatalogueEntry working(child);
        ListRow row;
        row.text = working.text("NAME");
        row.tag = address + QStringLiteral("/ENTRY[%1]").arg(e);
        row.needsRestart = working.needsRestart();
        const XmlNode current = working.currentValue();
        if (!current.isNull()) {
            row.workingState = entryStateText(working);
            const CatalogueEntry machine(e < machineEntries.size() ? machineEntries[e] : XmlNode());
            row.machineState = entryStateText(machine);
            row.machineUnread = machine.unreadReason().value_or(QString());
        }
        rows.append(row);
    }
    return rows;
}

QHash<QString, QString> policyNotes(ProgramContext& context, const QList<ListRow>& rows) {
    QHash<QString, QString> notes;
    for (const ListRow& row : rows) {
        if (row.tag.isEmpty())
            continue;
        const CatalogueEntry entry(context.workingCatalogue.selectSingleNode(row.tag));
        if (const std::optional<PolicyFileSetting> policy =
                entryPolicyFileSetting(context.registry.backend(), entry))
            notes.insert(row.tag, QStringLiteral("Local Group Policy: ") +
                                      policyFileSettingText(*policy, entry.text("REGNAME")));
    }
    return notes;
}

} // namespace tavimor
