// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyForm.h"

namespace tavimor {

namespace {

using Kind = PolicyField::Kind;

Kind kindFor(const AdmxElement& element, const PresentationControl* control) {
    switch (element.kind) {
    case ElementKind::Boolean:
        return Kind::CheckBox;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal:
        return Kind::NumberBox;
    case ElementKind::Enum:
        return Kind::DropdownList;
    case ElementKind::Text:
        return control && control->kind == PresentationControl::Kind::ComboBox ? Kind::ComboBox
                                                                               : Kind::TextBox;
    case ElementKind::MultiText:
        return Kind::MultiTextBox;
    case ElementKind::List:
        return Kind::ListBox;
    }
    return Kind::TextBox;
}

} // namespace

PolicyForm::PolicyForm(const TemplateSet& set, const PolicyInstance& policy, const PolicySetting& current)
    : m_set(set)
    , m_policy(policy)
    , m_state(current.state) {
    const QList<AdmxElement>& elements = policy.policy->elements;
    const auto valueOf = [&](qsizetype element) {
        return current.state == PolicyState::Enabled && current.values.value(element).present
                   ? current.values[element]
                   : PolicyValues::defaultValue(set, policy, element);
    };
    QList<bool> shown(elements.size(), false);
    for (const PresentationControl& control : set.presentation(policy)) {
        const qsizetype element = control.refId.isEmpty() ? -1 : policy.policy->elementIndex(control.refId);
        if (control.kind == PresentationControl::Kind::Text || element < 0) {
            if (!control.label.trimmed().isEmpty()) {
                PolicyField label;
                label.label = control.label;
                m_fields.append(label);
            }
            continue;
        }
        if (shown[element])
            continue;
        shown[element] = true;
        m_fields.append(fieldFor(&control, element, valueOf(element)));
    }
    for (qsizetype element = 0; element < elements.size(); ++element)
        if (!shown[element])
            m_fields.append(fieldFor(nullptr, element, valueOf(element)));
}

PolicyField PolicyForm::fieldFor(const PresentationControl* control, qsizetype element,
                                 const ElementValue& value) const {
    const AdmxElement& e = m_policy.policy->elements[element];
    PolicyField field;
    field.kind = kindFor(e, control);
    field.label = control && !control->label.isEmpty() ? control->label : e.id;
    field.element = element;
    field.required = e.required;
    field.maxLength = e.maxLength;
    switch (e.kind) {
    case ElementKind::Boolean:
        field.checked = value.number != 0;
        break;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal:
        field.text = QString::number(value.number);
        field.minimum = e.minValue;
        field.maximum = e.maxValue;
        field.spin = !control || control->spin;
        field.step = control && control->spinStep > 0 ? control->spinStep : 1;
        break;
    case ElementKind::Enum:
        for (const AdmxEnumItem& item : e.items)
            field.items.append(TemplateSet::text(*m_policy.file, item.displayName));
        field.item = int(value.number);
        break;
    case ElementKind::Text:
        field.text = value.text;
        if (control)
            field.items = control->suggestions;
        break;
    case ElementKind::MultiText:
        field.lines = value.strings;
        break;
    case ElementKind::List:
        field.lines = value.strings;
        field.names = value.names;
        field.named = e.explicitValue;
        break;
    }
    return field;
}

QString PolicyForm::title() const {
    return m_set.displayName(m_policy);
}

QString PolicyForm::category() const {
    return m_set.categoryPath(m_policy).join(QLatin1Char('/'));
}

QString PolicyForm::explainText() const {
    return m_set.explainText(m_policy);
}

QString PolicyForm::supportedOn() const {
    return m_set.supportedOnText(m_policy);
}

QString PolicyForm::rangeText(const PolicyField& field) {
    return QStringLiteral("(%1 - %2)").arg(field.minimum).arg(field.maximum);
}

QString PolicyForm::fieldName(const AdmxElement& element) const {
    for (const PolicyField& field : m_fields) {
        if (field.element >= 0 && &m_policy.policy->elements[field.element] == &element) {
            QString label = field.label.trimmed();
            while (label.endsWith(QLatin1Char(':')))
                label.chop(1);
            return label;
        }
    }
    return element.id;
}

std::optional<PolicySetting> PolicyForm::setting(PolicyState state, QString* error) const {
    if (state != PolicyState::Enabled) {
        if (state == PolicyState::NotConfigured || state == PolicyState::Disabled)
            return PolicySetting{state, {}};
        *error = tr("Choose Not configured, Enabled or Disabled.");
        return std::nullopt;
    }
    const QList<AdmxElement>& elements = m_policy.policy->elements;
    PolicySetting setting{PolicyState::Enabled, {}};
    for (qsizetype i = 0; i < elements.size(); ++i)
        setting.values.append(PolicyValues::defaultValue(m_set, m_policy, i));
    for (const PolicyField& field : m_fields) {
        if (field.element < 0)
            continue;
        ElementValue& value = setting.values[field.element];
        value = ElementValue();
        value.present = true;
        switch (field.kind) {
        case Kind::CheckBox:
            value.number = field.checked ? 1 : 0;
            break;
        case Kind::NumberBox: {
            bool ok = false;
            value.number = field.text.trimmed().toULongLong(&ok);
            if (!ok) {
                *error = tr("\"%1\" takes a whole number from %2 to %3, not \"%4\".")
                             .arg(fieldName(elements[field.element]))
                             .arg(field.minimum)
                             .arg(field.maximum)
                             .arg(field.text);
                return std::nullopt;
            }
            break;
        }
        case Kind::DropdownList:
            value.number = quint64(qMax(0, field.item));
            break;
        case Kind::TextBox:
        case Kind::ComboBox:
            value.text = field.text;
            break;
        case Kind::MultiTextBox:
            for (const QString& line : field.lines)
                if (!line.isEmpty())
                    value.strings.append(line);
            break;
        case Kind::ListBox:
            value.strings = field.lines;
            if (field.named)
                value.names = field.names;
            break;
        case Kind::Label:
            break;
        }
    }
    const QString problem = PolicyValues::check(m_set, m_policy, setting);
    if (problem.isEmpty())
        return setting;
    // The check names an element by its id; the user knows it by its control's label.
    for (const AdmxElement& element : elements) {
        if (problem.startsWith(element.id + QLatin1Char(' '))) {
            *error = tr("\"%1\" %2.").arg(fieldName(element), problem.mid(element.id.size() + 1));
            return std::nullopt;
        }
    }
    *error = problem + QLatin1Char('.');
    return std::nullopt;
}

} // namespace tavimor
