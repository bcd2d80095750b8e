// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/UnreadTally.h"
#include "registry/RegDatum.h"
#include "registry/RegistryBackend.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tavimor {

class CatalogueEntry;
class MSDNRegistry;
class ProgramContext;
class TemplateSet;
class XmlDocument;

// One change that applying a catalogue makes to the registry.
struct PlannedWrite {
    // TemplateChange: one registry change of a template policy; section is its category path,
    // name its display name, address its name ("machine/firefox:HomepageURL").
    enum class Action { WriteValue, CreateKey, TemplateChange };
    Action action = Action::WriteValue;
    QString address; // the entry's address
    QString section;
    QString name;      // the entry's NAME
    QString hive;      // the KEY text
    QString keyPath;   // the PATH text
    QString valueName; // the REGNAME text
    RegDatum before;   // nothing when the registry holds no value (or one of another type); never unread
    qint32 after = 0;
    bool needsRestart = false; // the entry needs a restart once this value is written
    RegChange change;          // TemplateChange: the change, typed as the template says
    QString beforeText;        // TemplateChange: the registry's value as plan lines show it
    QString afterText;

    QString title() const { return section + QLatin1Char('/') + name; }
};

// The entry at which the pass stops before writing: it has no CURRENTVALUE, or one that is no number.
struct PlanStop {
    QString address;
    QString title;
    QString reason;
};

// What writing a catalogue to the registry does, in catalogue order: the values that differ and
// the keys of other entries that are missing. Executing it changes exactly these. Entries whose
// registry value (or whose wanted value in the catalogue) could not be read are left out.
struct ApplyPlan {
    QList<PlannedWrite> steps;
    std::optional<PlanStop> stop; // the pass ends with a failure after the steps
    QStringList notes;            // template policies not written, and why
    UnreadTally leftOut;

    bool restartNeeded() const;
};

// A step the registry did not take, with the system's reason.
struct FailedWrite {
    PlannedWrite step;
    QString reason;
};

// How executing a plan went: every step is tried, whatever became of the ones before it.
struct ApplyOutcome {
    QList<FailedWrite> failed;
    bool complete = true; // every step written, nothing left out, no stop

    // What was not done, a line each: the groups left out, each failed step, the stop.
    QStringList lines(const ApplyPlan& plan) const;
};

enum class PlanScope {
    AllEntries, // every entry, as the pending-changes Yes writes them
    OnlySet,    // only the entries entryIsSet finds something in
};

// Reads the registry and compares; writes nothing. With only given, the entries at those addresses
// alone are looked at.
// With templates, the policies of the set follow the entries (an address there is a policy's name).
ApplyPlan planApply(MSDNRegistry& registry, const XmlDocument& catalogue,
                    PlanScope scope = PlanScope::AllEntries, const QStringList* only = nullptr,
                    const TemplateSet* templates = nullptr);

// A settings file says something about an entry when its CURRENTVALUE holds a value (not empty,
// not "Null") other than its DEFAULTVALUE; with an empty or "Null" DEFAULTVALUE any value counts.
bool entryIsSet(const CatalogueEntry& entry);

// Runs the steps in order, checking each write; written is called after each confirmed step. A step
// that fails is named with the reason and the others are still written. Nothing is reported: the
// caller tells the user what the outcome's lines say.
ApplyOutcome executePlan(ProgramContext& context, const ApplyPlan& plan,
                         const std::function<void(const PlannedWrite&)>& written = {});

// "HKEY_CURRENT_USER\Software\...\NoRun" as the plan lines show a step's place.
QString plannedPlace(const PlannedWrite& step);
// A registry value as the plan lines show it: "absent", 1, "text" (REG_SZ) in quotes, or "unknown".
QString plannedValueText(const RegDatum& value);

} // namespace tavimor
