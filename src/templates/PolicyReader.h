// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PolicyRegistryView.h"
#include "PolicySetting.h"

namespace tavimor {

struct PolicyReading {
    // The state; when Enabled, each element's value (one the registry does not hold is absent).
    PolicySetting setting;
    // What the registry holds of the policy, "KEY\NAME = VALUE" below the hive, in template order;
    // for Other, what is shown.
    QStringList found;
    QString unreadReason; // why, for Unread
};

// Reads a policy's state back from the registry as the Group Policy editor infers it:
// - Enabled: the policy's enabled form is there (its value and enabledList as the template says,
//   where it has them; else at least one element value), every required element has a value and
//   every element value there is one the template allows;
// - Disabled: the disabled form is there and no element value is;
// - Not configured: nothing the policy writes is there;
// - Other: anything else, shown as found;
// - Unread: some value could not be read.
// A disabled form made of deletions alone leaves nothing to see, so such a policy reads back as Not
// configured once disabled: the registry cannot tell the two apart.
class PolicyReader {
public:
    static PolicyReading read(PolicyRegistryView& view, const PolicyInstance& policy);
    // The keys read() looks in, each once, so that a target can be asked about them together.
    static QList<RegKeyName> keys(const PolicyInstance& policy);

    // "1", "\"text\"", "a, b" as found lines show a registry value.
    static QString valueText(const RegValue& value);
    // The text of a REG_SZ or REG_EXPAND_SZ, up to its first zero.
    static QString textOf(const RegValue& value);
    // A value as the template names it, with string data compared up to the first zero.
    static bool sameValue(const RegValue& found, const RegValue& wanted);
};

} // namespace tavimor
