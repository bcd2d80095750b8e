// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/ApplyPlan.h"

namespace tavimor {

class RegistryBackend;
class TemplateSet;

// The template policies' part of an apply plan: for each policy of the set, the changes its state
// in the catalogue makes that the registry does not hold yet, one step per change, titled with the
// policy's category and name. A policy whose registry values cannot be read, whose state in the
// catalogue is Other, or whose template is not loaded is not written; the plan says so in its notes.
// A stored value the template does not allow stops the plan there.
void planTemplates(ApplyPlan& plan, RegistryBackend& backend, const XmlDocument& catalogue,
                   const TemplateSet& set, PlanScope scope, const QStringList* only);

// A registry change as plan lines show it: "HKEY_LOCAL_MACHINE\Software\...\Name", or "...\*" for
// every value of a key.
QString changePlace(const RegChange& change);

} // namespace tavimor
