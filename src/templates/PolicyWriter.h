// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PolicySetting.h"

namespace tavimor {

// What writing a policy's state does to the registry, exactly as its template says:
// - Enabled: the policy's value (its enabledValue, else REG_DWORD 1) and enabledList, then each
//   element's value with the type the template gives it (an element without one writes nothing,
//   as the registry it was read from held nothing of it); a list's key is emptied first unless the
//   list is additive (a policy file records that as "**delvals."), and soft values are marked;
// - Disabled: each element's values deleted and each list's key emptied (policy files record
//   "**del." and "**delvals."), then the disabledValue and disabledList;
// - Not configured: every value the policy may write deleted, unmarked, so that a policy file
//   drops its records instead of recording deletions.
// Enabled and Disabled first drop, unmarked, the values of the other forms they do not write, so
// that no value of an earlier state stays behind. The setting must pass PolicyValues::check.
class PolicyWriter {
public:
    static QList<RegChange> changes(const PolicyInstance& policy, const PolicySetting& setting);
    // The names of the values the changes after the one at index write into the key it empties: what
    // that key holds once they are all made.
    static QStringList writtenAfter(const QList<RegChange>& changes, qsizetype index);
};

} // namespace tavimor
