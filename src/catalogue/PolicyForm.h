// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "templates/PolicySetting.h"

#include <QCoreApplication>

namespace tavimor {

// One control of a policy's editor, drawn from its presentation, with the value it opens with.
struct PolicyField {
    enum class Kind : quint8 {
        Label,
        CheckBox,
        TextBox,
        NumberBox,
        DropdownList,
        ComboBox,
        ListBox,
        MultiTextBox
    };
    Kind kind = Kind::Label;
    QString label;
    qsizetype element = -1; // the policy's element; -1 for a label
    bool checked = false;   // CheckBox
    QString text;           // TextBox, ComboBox, NumberBox (its digits)
    QStringList items;      // DropdownList: the items; ComboBox: the suggestions
    int item = 0;           // DropdownList
    QStringList lines;      // MultiTextBox, ListBox (the entries' data)
    QStringList names;      // ListBox whose entries the user names
    bool named = false;
    quint64 minimum = 0; // NumberBox
    quint64 maximum = 0;
    quint64 step = 1;
    bool spin = true;
    int maxLength = 0; // TextBox, ComboBox, MultiTextBox
    bool required = false;
};

// The editor of one template policy, without widgets: its texts, its state and its controls in
// the order the template's presentation gives them (an element the presentation leaves out gets a
// control of its kind after them), and the setting the controls stand for.
class PolicyForm {
    Q_DECLARE_TR_FUNCTIONS(PolicyForm)

public:
    // current: the policy's setting in the working catalogue; the controls of a policy that is not
    // enabled open with the template's defaults.
    PolicyForm(const TemplateSet& set, const PolicyInstance& policy, const PolicySetting& current);

    const PolicyInstance& policy() const { return m_policy; }
    QString title() const;
    QString category() const;
    QString explainText() const;
    QString supportedOn() const;
    PolicyState state() const { return m_state; }
    QList<PolicyField>& fields() { return m_fields; }
    const QList<PolicyField>& fields() const { return m_fields; }
    // A field's range as its label shows it: "(1 - 100)".
    static QString rangeText(const PolicyField& field);

    // What the controls stand for in the state chosen; nullopt with *error (a sentence naming the
    // control) when the template does not allow it. Other and Not read cannot be chosen.
    std::optional<PolicySetting> setting(PolicyState state, QString* error) const;

private:
    PolicyField fieldFor(const PresentationControl* control, qsizetype element,
                         const ElementValue& value) const;
    QString fieldName(const AdmxElement& element) const;

    const TemplateSet& m_set;
    const PolicyInstance& m_policy;
    PolicyState m_state = PolicyState::NotConfigured;
    QList<PolicyField> m_fields;
};

} // namespace tavimor
