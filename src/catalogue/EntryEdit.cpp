// SPDX-License-Identifier: GPL-3.0-or-later
#include "EntryEdit.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"

namespace tavimor {

bool applyEntryNow(ProgramContext& context, const QString& entryAddress, const QString& newValue) {
    const CatalogueEntry working(context.workingCatalogue.selectSingleNode(entryAddress));
    if (working.isNull())
        return false;
    const HKEY hive = GetKeyValue(working.text("KEY"));
    const QString path = working.text("PATH");
    const QString name = working.text("REGNAME");
    context.registry.CreateRegKey(path, hive);
    const QString present = context.registry.ReadKeyValue(hive, path, name).toText();
    if (present != newValue) {
        const CatalogueEntry machine(context.machineCatalogue.selectSingleNode(entryAddress));
        if (machine.needsRestart())
            context.restartNeeded = true;
    }
    context.registry.SaveKeyValue(hive, path, name, RegDatum::text(newValue), REG_DWORD);
    CatalogueEntry(context.machineCatalogue.selectSingleNode(entryAddress)).currentValue().setText(newValue);
    working.currentValue().setText(newValue);
    return true;
}

bool applyEntryLater(ProgramContext& context, const QString& entryAddress, const QString& newValue) {
    XmlNode current = CatalogueEntry(context.workingCatalogue.selectSingleNode(entryAddress)).currentValue();
    if (current.isNull())
        return false;
    current.setText(newValue);
    return true;
}

} // namespace tavimor
