// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "templates/PolicySetting.h"

#include <utility>

namespace tavimor {

class ProgramContext;

using PolicySettings = QList<std::pair<const PolicyInstance*, PolicySetting>>;

// "&Apply now" for template policies: writes the settings in one batch, reads every change back,
// keeps them in the working catalogue and refreshes the machine catalogue where the batch wrote. false with
// *why (the place that failed and the target's reason); the catalogues are then as they were.
bool applyPoliciesNow(ProgramContext& context, const PolicySettings& settings, QString* why);
// "Apply &later": the working catalogue only.
void applyPolicyLater(ProgramContext& context, const PolicyInstance& policy, const PolicySetting& setting);

} // namespace tavimor
