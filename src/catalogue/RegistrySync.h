// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/UnreadTally.h"

#include <QList>
#include <QString>

namespace tavimor {

class CatalogueEntry;
class ProgramContext;

inline constexpr auto kAllEntries = "/TAVIMOR/REGISTRYSETTINGS/ENTRY";

// Reads the registry into the machine catalogue for every entry the address selects there. A value
// that could not be read is marked unread (markUnread); the result counts those.
UnreadTally RefreshCurrentValues(ProgramContext& context, const QString& address);
// Asks about pending changes; 1 for Cancel, 0 otherwise. Yes applies the working catalogue; when
// not everything could be applied, 1 as well, with what was not applied still pending.
qint16 ConfirmPendingChanges(ProgramContext& context);
// Writes the machine catalogue to the registry (planApply, then executePlan). When not everything
// was written (a write refused, a value that is no number, values not read), says what in a message
// and returns false.
bool ApplyMachineCatalogue(ProgramContext& context);
// "Enabled"/"Disabled" for a BOOLEAN value; the value itself for any other type.
QString StateText(const QString& value, const QString& type);
// What the list shows for an entry's CURRENTVALUE: StateText, or kUnknownState when it was not read.
QString entryStateText(const CatalogueEntry& entry);
inline constexpr auto kUnknownState = "Unknown";
// Tells in a message why values of the machine catalogue show as Unknown, once for each hive and
// reason in a run.
void sayUnreadOnce(ProgramContext& context);
// Changes are pending exactly when the two catalogues serialise differently.
bool changesPending(const ProgramContext& context);

} // namespace tavimor
