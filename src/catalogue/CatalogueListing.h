// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace tavimor {

class ProgramContext;

inline constexpr auto kRootAddress = "TAVIMOR";

struct SectionInfo {
    QString name;    // the Section attribute
    QString address; // "TAVIMOR/REGISTRYSETTINGS[s]"
};

// One row of the list: a section of the root list, or an entry of a section with its state
// in the working catalogue and in the machine catalogue.
struct ListRow {
    QString text;
    QString tag;           // the entry address; "" for a section row
    QString workingState;  // "Tavimor Settings"
    QString machineState;  // "Current Machine Settings"
    QString machineUnread; // why the machine state is unknown; "" when it was read
    bool needsRestart = false;
};

// The sections of the working catalogue, in order.
QList<SectionInfo> catalogueSections(const ProgramContext& context);
// The rows of the list for the root address or a section address. Both catalogues are walked
// side by side, so a large section costs one pass, not a path query per row.
QList<ListRow> listRows(const ProgramContext& context, const QString& address);
// What the target's own Group Policy files set of the entries of rows, by their tag, for the window.
QHash<QString, QString> policyNotes(ProgramContext& context, const QList<ListRow>& rows);

} // namespace tavimor
