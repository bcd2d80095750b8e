// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TemplateSet.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tavimor {

// Not configured: the policy writes nothing. Enabled and Disabled: the template's enabled or
// disabled form. Other: the registry holds something of the policy that is neither form, shown as
// it is and never guessed. Unread: a value could not be read, so the state is not known; it is
// never shown as a state, planned or written.
enum class PolicyState : quint8 { NotConfigured, Enabled, Disabled, Other, Unread };

// "Not configured", "Enabled", "Disabled", "Other", "Not read".
QString policyStateText(PolicyState state);
// The words settings files keep: "NotConfigured", "Enabled", "Disabled", "Other", "Unread".
QString policyStateWord(PolicyState state);
std::optional<PolicyState> policyStateFromWord(const QString& word);

// One element's value. number holds a boolean (0 or 1), a decimal, a longDecimal and an enum's
// item position; text a text; strings the lines of a multiText and the data of a list, names
// beside them the value names of a list whose template lets the user name them (explicitValue).
// stale: a settings file held a value for it that the template no longer takes.
struct ElementValue {
    bool present = false;
    quint64 number = 0;
    QString text;
    QStringList strings;
    QStringList names;
    bool stale = false;
    bool operator==(const ElementValue&) const = default;
};

// What a policy is set to: its state and, when Enabled, a value for each element in the order the
// policy lists them.
struct PolicySetting {
    PolicyState state = PolicyState::NotConfigured;
    QList<ElementValue> values;
    bool operator==(const PolicySetting&) const = default;
};

// Values as users type them (tavimorctl set, the window's boxes) and as settings files keep them.
class PolicyValues {
public:
    // The kind's name as JSON and messages give it: "boolean", "decimal", "longDecimal", "enum",
    // "text", "multiText", "list".
    static QString kindName(ElementKind kind);
    // The value of an element no one gave: the policy's presentation default, else the first item,
    // false, the least number, nothing.
    static ElementValue defaultValue(const TemplateSet& set, const PolicyInstance& policy, qsizetype element);
    // Reads a value as typed: a boolean as true/false, yes/no, on/off, 1/0; a number in decimal
    // digits; an enum item by its text or its registry value; a text as it is; a multiText's lines
    // separated by line ends; a list's entries separated by commas, "NAME=DATA" where the user names
    // them. nullopt with *error (no prefix) when the template does not allow it.
    static std::optional<ElementValue> parse(const TemplateSet& set, const PolicyInstance& policy,
                                             qsizetype element, const QString& text, QString* error);
    // Adds one more entry to a multiText or list value ("ELEMENT+=x"); false with *error otherwise.
    static bool append(const PolicyInstance& policy, qsizetype element, ElementValue& value,
                       const QString& text, QString* error);
    // The setting "set ENTRY Enabled ELEMENT=VALUE ELEMENT+=VALUE ..." asks for: "=" gives an element
    // its value, "+=" adds an entry to a list or a line to a multiText. An element not named keeps
    // its value in current when that is Enabled, else takes its default. Disabled and Not configured
    // take no values. nullopt with *error (no prefix) when the template does not allow it.
    static std::optional<PolicySetting> fromArguments(const TemplateSet& set, const PolicyInstance& policy,
                                                      PolicyState state, const QStringList& assignments,
                                                      const PolicySetting& current, QString* error);
    // Whether the template allows the setting: every required element given a value when Enabled,
    // each value in range, short enough, an item, text in the 8-bit form the registry layer writes.
    // "" when it does.
    static QString check(const TemplateSet& set, const PolicyInstance& policy, const PolicySetting& setting);
    // The value as a user reads it: "true", "42", the item's text, the text, entries joined by ", ".
    static QString display(const TemplateSet& set, const PolicyInstance& policy, qsizetype element,
                           const ElementValue& value);
    // An enum item as settings files name it: its text's string id, else "#" and its position, so
    // that a template that gains items keeps what was chosen.
    static QString enumItemKey(const AdmxElement& element, qsizetype item);
    static qsizetype enumItemFromKey(const AdmxElement& element, const QString& key);
};

} // namespace tavimor
