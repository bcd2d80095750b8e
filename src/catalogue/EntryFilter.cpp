// SPDX-License-Identifier: GPL-3.0-or-later
#include "EntryFilter.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"

namespace tavimor {

QList<ListRow> matchingRows(const ProgramContext& context, const QString& text) {
    QList<ListRow> found;
    const QString wanted = text.trimmed();
    if (wanted.isEmpty())
        return found;
    for (const SectionInfo& section : catalogueSections(context)) {
        const QList<ListRow> rows = listRows(context, section.address);
        // listRows walks the section's children in order, so the two walks stay in step.
        XmlNode child = context.workingCatalogue.selectSingleNode(section.address).firstChildElement();
        for (const ListRow& row : rows) {
            const QString regName = CatalogueEntry(child).text("REGNAME");
            child = child.nextSiblingElement();
            if (!row.text.contains(wanted, Qt::CaseInsensitive) &&
                !regName.contains(wanted, Qt::CaseInsensitive))
                continue;
            ListRow match = row;
            match.text = row.text + QStringLiteral(" (") + section.name + QLatin1Char(')');
            found.append(match);
        }
    }
    return found;
}

} // namespace tavimor
