// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AdmxModel.h"

// Where and what a policy writes, where the template leaves it to the reader.
namespace tavimor {

inline QString elementKey(const AdmxPolicy& policy, const AdmxElement& element) {
    return element.key.isEmpty() ? policy.key : element.key;
}

// An item's own key, else its list's default key, else the key of what owns the list.
inline QString itemKey(const AdmxValueItem& item, const AdmxValueList& list, const QString& ownerKey) {
    return !item.key.isEmpty() ? item.key : !list.defaultKey.isEmpty() ? list.defaultKey : ownerKey;
}

// The policy's own value: as the template says, else REG_DWORD 1 when enabled and a deletion when
// disabled.
inline AdmxValue policyValue(const AdmxPolicy& policy, bool enabled) {
    const AdmxValue& given = enabled ? policy.enabledValue : policy.disabledValue;
    if (given.isSet())
        return given;
    return enabled ? AdmxValue::decimal(1) : AdmxValue{AdmxValue::Kind::Delete, 0, {}};
}

// A boolean element's value: as the template says, else REG_DWORD 1 or 0.
inline AdmxValue booleanValue(const AdmxElement& element, bool value) {
    const AdmxValue& given = value ? element.trueValue : element.falseValue;
    return given.isSet() ? given : AdmxValue::decimal(value ? 1 : 0);
}

} // namespace tavimor
