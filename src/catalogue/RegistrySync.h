// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

namespace tavimor {

class ProgramContext;

inline constexpr auto kAllEntries = "/TAVIMOR/REGISTRYSETTINGS/ENTRY";

// Reads the registry into the machine catalogue for every entry the address selects there.
void RefreshCurrentValues(ProgramContext& context, const QString& address);
// Asks about pending changes; 1 for Cancel, 0 otherwise. Yes applies the working catalogue.
qint16 ConfirmPendingChanges(ProgramContext& context);
// Writes the machine catalogue to the registry (planApply, then executePlan): stops at the first
// write that fails or value that is no number, and reports it through the error handler.
bool ApplyMachineCatalogue(ProgramContext& context);
// "Enabled"/"Disabled" for a BOOLEAN value; the value itself for any other type.
QString StateText(const QString& value, const QString& type);
// Changes are pending exactly when the two catalogues serialise differently.
bool changesPending(const ProgramContext& context);

} // namespace tavimor
