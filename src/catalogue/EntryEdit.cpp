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
    // A value that could not be read may differ: the restart is offered rather than missed.
    const QString present = context.registry.ReadKeyValue(hive, path, name).toText();
    if (present != newValue) {
        const CatalogueEntry machine(context.machineCatalogue.selectSingleNode(entryAddress));
        if (machine.needsRestart())
            context.restartNeeded = true;
    }
    context.registry.SaveKeyValue(hive, path, name, RegDatum::text(newValue), REG_DWORD);
    setCurrentValue(CatalogueEntry(context.machineCatalogue.selectSingleNode(entryAddress)).currentValue(),
                    newValue);
    setCurrentValue(working.currentValue(), newValue);
    return true;
}

bool applyEntryLater(ProgramContext& context, const QString& entryAddress, const QString& newValue) {
    XmlNode current = CatalogueEntry(context.workingCatalogue.selectSingleNode(entryAddress)).currentValue();
    if (current.isNull())
        return false;
    setCurrentValue(current, newValue);
    return true;
}

} // namespace tavimor
