#pragma once

#include <QList>
#include <QString>

namespace tavimor {

class ProgramContext;

inline constexpr auto kAllEntries = "/TAVIMOR/REGISTRYSETTINGS/ENTRY";

// One value the apply pass wrote that differed from what the registry held.
struct AppliedValue {
    QString address;
    QString name;
    QString before; // "" when the registry held nothing
    QString after;
    bool needsRestart = false;
};

// Reads the registry into the machine catalogue for every entry the address selects there.
void RefreshCurrentValues(ProgramContext& context, const QString& address);
// Asks about pending changes; 1 for Cancel, 0 otherwise. Yes applies the working catalogue.
qint16 ConfirmPendingChanges(ProgramContext& context);
// Writes the machine catalogue to the registry; stops at the first value that is not a number.
bool ApplyMachineCatalogue(ProgramContext& context, QList<AppliedValue>* changed = nullptr);
// "Enabled"/"Disabled" for a BOOLEAN value; the value itself for any other type.
QString StateText(const QString& value, const QString& type);
// Changes are pending exactly when the two catalogues serialise differently.
bool changesPending(const ProgramContext& context);

} // namespace tavimor
