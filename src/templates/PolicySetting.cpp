// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicySetting.h"

#include <QSet>
#include <limits>

namespace tavimor {

namespace {

quint64 typeMaximum(const AdmxElement& element) {
    return element.kind == ElementKind::LongDecimal ? std::numeric_limits<quint64>::max() : 0xFFFFFFFFull;
}

// The registry layer writes text in the 8-bit form Windows 9x and REGEDIT4 files use (Latin-1),
// and a zero would end a string early.
QString textProblem(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() == 0)
            return QStringLiteral("holds a zero character");
        if (c.unicode() > 0xFF)
            return QStringLiteral("holds \"%1\", which the registry's 8-bit text (Latin-1) cannot carry")
                .arg(c);
    }
    return QString();
}

QString itemText(const TemplateSet& set, const PolicyInstance& policy, const AdmxEnumItem& item) {
    Q_UNUSED(set);
    return TemplateSet::text(*policy.file, item.displayName);
}

QString itemValueText(const AdmxEnumItem& item) {
    return item.value.kind == AdmxValue::Kind::String ? item.value.text : item.value.display();
}

const PresentationControl* controlFor(const QList<PresentationControl>& controls, const QString& id) {
    for (const PresentationControl& control : controls)
        if (control.refId == id)
            return &control;
    return nullptr;
}

} // namespace

QString policyStateText(PolicyState state) {
    switch (state) {
    case PolicyState::NotConfigured:
        return QStringLiteral("Not configured");
    case PolicyState::Enabled:
        return QStringLiteral("Enabled");
    case PolicyState::Disabled:
        return QStringLiteral("Disabled");
    case PolicyState::Other:
        return QStringLiteral("Other");
    case PolicyState::Unread:
        return QStringLiteral("Not read");
    }
    return QString();
}

QString policyStateWord(PolicyState state) {
    if (state == PolicyState::NotConfigured)
        return QStringLiteral("NotConfigured");
    return state == PolicyState::Unread ? QStringLiteral("Unread") : policyStateText(state);
}

std::optional<PolicyState> policyStateFromWord(const QString& word) {
    for (const PolicyState state : {PolicyState::NotConfigured, PolicyState::Enabled, PolicyState::Disabled,
                                    PolicyState::Other, PolicyState::Unread})
        if (word.compare(policyStateWord(state), Qt::CaseInsensitive) == 0 ||
            word.compare(policyStateText(state), Qt::CaseInsensitive) == 0)
            return state;
    return std::nullopt;
}

QString PolicyValues::kindName(ElementKind kind) {
    switch (kind) {
    case ElementKind::Boolean:
        return QStringLiteral("boolean");
    case ElementKind::Decimal:
        return QStringLiteral("decimal");
    case ElementKind::LongDecimal:
        return QStringLiteral("longDecimal");
    case ElementKind::Enum:
        return QStringLiteral("enum");
    case ElementKind::Text:
        return QStringLiteral("text");
    case ElementKind::MultiText:
        return QStringLiteral("multiText");
    case ElementKind::List:
        return QStringLiteral("list");
    }
    return QString();
}

ElementValue PolicyValues::defaultValue(const TemplateSet& set, const PolicyInstance& policy,
                                        qsizetype element) {
    const AdmxElement& e = policy.policy->elements[element];
    const QList<PresentationControl> controls = set.presentation(policy);
    const PresentationControl* control = controlFor(controls, e.id);
    ElementValue value;
    value.present = true;
    switch (e.kind) {
    case ElementKind::Boolean:
        value.number = control && control->defaultChecked ? 1 : 0;
        break;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal: {
        bool ok = false;
        const quint64 given = control ? control->defaultValue.toULongLong(&ok) : 0;
        value.number = ok && given >= e.minValue && given <= e.maxValue ? given : e.minValue;
        break;
    }
    case ElementKind::Enum:
        value.number = control && control->defaultItem >= 0 && control->defaultItem < e.items.size()
                           ? quint64(control->defaultItem)
                           : 0;
        break;
    case ElementKind::Text:
        value.text = control ? control->defaultValue : QString();
        break;
    case ElementKind::MultiText:
    case ElementKind::List:
        break;
    }
    return value;
}

std::optional<ElementValue> PolicyValues::parse(const TemplateSet& set, const PolicyInstance& policy,
                                                qsizetype element, const QString& text, QString* error) {
    const AdmxElement& e = policy.policy->elements[element];
    const auto fail = [&](const QString& why) -> std::optional<ElementValue> {
        if (error)
            *error = QStringLiteral("%1 %2").arg(e.id, why);
        return std::nullopt;
    };
    ElementValue value;
    value.present = true;
    switch (e.kind) {
    case ElementKind::Boolean: {
        const QString word = text.trimmed().toLower();
        if (word == QLatin1String("true") || word == QLatin1String("yes") || word == QLatin1String("on") ||
            word == QLatin1String("1"))
            value.number = 1;
        else if (word != QLatin1String("false") && word != QLatin1String("no") &&
                 word != QLatin1String("off") && word != QLatin1String("0"))
            return fail(QStringLiteral("takes true or false, not \"%1\"").arg(text));
        break;
    }
    case ElementKind::Decimal:
    case ElementKind::LongDecimal: {
        const QString digits = text.trimmed();
        bool ok = !digits.isEmpty() && digits.size() <= 20;
        for (const QChar c : digits)
            ok = ok && c.isDigit() && c.unicode() < 0x80;
        value.number = ok ? digits.toULongLong(&ok) : 0;
        if (!ok || value.number > typeMaximum(e) || value.number < e.minValue || value.number > e.maxValue)
            return fail(QStringLiteral("takes a number from %1 to %2, not \"%3\"")
                            .arg(e.minValue)
                            .arg(e.maxValue)
                            .arg(text));
        break;
    }
    case ElementKind::Enum: {
        qsizetype found = -1;
        for (qsizetype i = 0; found < 0 && i < e.items.size(); ++i)
            if (itemValueText(e.items[i]) == text)
                found = i;
        for (qsizetype i = 0; found < 0 && i < e.items.size(); ++i)
            if (itemText(set, policy, e.items[i]).compare(text.trimmed(), Qt::CaseInsensitive) == 0 ||
                itemValueText(e.items[i]).compare(text.trimmed(), Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0) {
            QStringList choices;
            for (const AdmxEnumItem& item : e.items)
                choices.append(
                    QStringLiteral("\"%1\" (%2)").arg(itemText(set, policy, item), itemValueText(item)));
            return fail(
                QStringLiteral("takes one of %1, not \"%2\"").arg(choices.join(QStringLiteral(", ")), text));
        }
        value.number = quint64(found);
        break;
    }
    case ElementKind::Text:
        value.text = text;
        break;
    case ElementKind::MultiText:
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (QString trimmed = line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
                !trimmed.isEmpty())
                value.strings.append(trimmed);
        break;
    case ElementKind::List:
        for (const QString& entry : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!append(policy, element, value, entry.trimmed(), error))
                return std::nullopt;
        break;
    }
    return value;
}

bool PolicyValues::append(const PolicyInstance& policy, qsizetype element, ElementValue& value,
                          const QString& text, QString* error) {
    const AdmxElement& e = policy.policy->elements[element];
    const auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("%1 %2").arg(e.id, why);
        return false;
    };
    value.present = true;
    if (e.kind == ElementKind::MultiText) {
        if (!text.isEmpty())
            value.strings.append(text);
        return true;
    }
    if (e.kind != ElementKind::List)
        return fail(QStringLiteral("is a %1, which takes one value (ELEMENT=VALUE), not more (+=)")
                        .arg(kindName(e.kind)));
    if (text.isEmpty())
        return true;
    if (e.explicitValue) {
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return fail(QStringLiteral("takes entries NAME=DATA, not \"%1\"").arg(text));
        value.names.append(text.left(equals));
        value.strings.append(text.mid(equals + 1));
    } else {
        value.strings.append(text);
    }
    return true;
}

std::optional<PolicySetting> PolicyValues::fromArguments(const TemplateSet& set, const PolicyInstance& policy,
                                                         PolicyState state, const QStringList& assignments,
                                                         const PolicySetting& current, QString* error) {
    const auto fail = [error](const QString& why) -> std::optional<PolicySetting> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QList<AdmxElement>& elements = policy.policy->elements;
    PolicySetting setting{state, {}};
    if (state != PolicyState::Enabled) {
        if (!assignments.isEmpty())
            return fail(QStringLiteral("element values go with Enabled only, not with %1")
                            .arg(policyStateText(state)));
        return setting;
    }
    for (qsizetype i = 0; i < elements.size(); ++i)
        setting.values.append(current.state == PolicyState::Enabled && current.values.value(i).present
                                  ? current.values[i]
                                  : defaultValue(set, policy, i));
    for (const QString& assignment : assignments) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        const bool adds = equals > 0 && assignment[equals - 1] == QLatin1Char('+');
        const QString id = assignment.left(adds ? equals - 1 : equals);
        qsizetype element = id.isEmpty() ? -1 : policy.policy->elementIndex(id);
        for (qsizetype i = 0; element < 0 && !id.isEmpty() && i < elements.size(); ++i)
            if (elements[i].id.compare(id, Qt::CaseInsensitive) == 0)
                element = i;
        if (equals <= 0 || element < 0) {
            QStringList ids;
            for (const AdmxElement& e : elements)
                ids.append(e.id);
            return fail(ids.isEmpty() ? QStringLiteral("%1 has no elements to give values to (\"%2\")")
                                            .arg(policy.name(), assignment)
                                      : QStringLiteral("\"%1\" names no element of %2; its elements are %3")
                                            .arg(assignment, policy.name(), ids.join(QStringLiteral(", "))));
        }
        QString why;
        const QString text = assignment.mid(equals + 1);
        if (adds) {
            if (!append(policy, element, setting.values[element], text, &why))
                return fail(why);
        } else if (const std::optional<ElementValue> value = parse(set, policy, element, text, &why)) {
            setting.values[element] = *value;
        } else {
            return fail(why);
        }
    }
    if (const QString why = check(set, policy, setting); !why.isEmpty())
        return fail(why);
    return setting;
}

QString PolicyValues::check(const TemplateSet& set, const PolicyInstance& policy,
                            const PolicySetting& setting) {
    if (setting.state != PolicyState::Enabled)
        return setting.values.isEmpty() ? QString()
                                        : QStringLiteral("only an enabled policy holds element values");
    const QList<AdmxElement>& elements = policy.policy->elements;
    if (setting.values.size() != elements.size())
        return QStringLiteral("%1 values for %2 elements").arg(setting.values.size()).arg(elements.size());
    for (qsizetype i = 0; i < elements.size(); ++i) {
        const AdmxElement& e = elements[i];
        const ElementValue& v = setting.values[i];
        const auto problem = [&](const QString& why) {
            return QStringLiteral("%1 %2").arg(e.id, why);
        };
        // An element left without a value (the registry it was read from held none) is not written.
        if (!v.present) {
            if (v.stale)
                return problem(QStringLiteral("holds a value the template does not take"));
            if (e.required)
                return problem(QStringLiteral("is required"));
            continue;
        }
        QStringList texts;
        switch (e.kind) {
        case ElementKind::Boolean:
            if (v.number > 1)
                return problem(QStringLiteral("is neither true nor false"));
            break;
        case ElementKind::Decimal:
        case ElementKind::LongDecimal:
            if (v.number < e.minValue || v.number > e.maxValue || v.number > typeMaximum(e))
                return problem(QStringLiteral("takes a number from %1 to %2, not %3")
                                   .arg(e.minValue)
                                   .arg(e.maxValue)
                                   .arg(v.number));
            break;
        case ElementKind::Enum:
            if (v.number >= quint64(e.items.size()))
                return problem(QStringLiteral("has no item %1").arg(v.number));
            break;
        case ElementKind::Text:
            if (e.required && v.text.isEmpty())
                return problem(QStringLiteral("is required"));
            if (v.text.size() > e.maxLength)
                return problem(QStringLiteral("takes at most %1 characters, not %2")
                                   .arg(e.maxLength)
                                   .arg(v.text.size()));
            texts.append(v.text);
            break;
        case ElementKind::MultiText: {
            if (e.required && v.strings.isEmpty())
                return problem(QStringLiteral("is required"));
            if (e.maxStrings > 0 && v.strings.size() > e.maxStrings)
                return problem(
                    QStringLiteral("takes at most %1 lines, not %2").arg(e.maxStrings).arg(v.strings.size()));
            const qsizetype length = v.strings.join(QLatin1Char('\n')).size();
            if (length > e.maxLength)
                return problem(
                    QStringLiteral("takes at most %1 characters, not %2").arg(e.maxLength).arg(length));
            texts = v.strings;
            break;
        }
        case ElementKind::List: {
            if (e.explicitValue && v.names.size() != v.strings.size())
                return problem(QStringLiteral("needs a name for each entry"));
            // Entries named by their data or by the user must differ, or one would hide another.
            QSet<QString> names;
            const QStringList& named = e.explicitValue ? v.names : v.strings;
            for (const QString& name : named) {
                if (!e.valuePrefix || e.explicitValue) {
                    if (name.isEmpty())
                        return problem(QStringLiteral("has an entry without a name"));
                    if (names.contains(name.toLower()))
                        return problem(QStringLiteral("names \"%1\" twice").arg(name));
                    names.insert(name.toLower());
                }
            }
            texts = v.strings + v.names;
            break;
        }
        }
        if (e.kind == ElementKind::MultiText)
            for (const QString& line : texts)
                if (line.isEmpty())
                    return problem(QStringLiteral("has an empty line, which a REG_MULTI_SZ cannot hold"));
        for (const QString& text : texts)
            if (const QString why = textProblem(text); !why.isEmpty())
                return problem(why);
    }
    Q_UNUSED(set);
    return QString();
}

QString PolicyValues::display(const TemplateSet& set, const PolicyInstance& policy, qsizetype element,
                              const ElementValue& value) {
    const AdmxElement& e = policy.policy->elements[element];
    if (!value.present)
        return QStringLiteral("(not set)");
    switch (e.kind) {
    case ElementKind::Boolean:
        return value.number ? QStringLiteral("true") : QStringLiteral("false");
    case ElementKind::Decimal:
    case ElementKind::LongDecimal:
        return QString::number(value.number);
    case ElementKind::Enum:
        return value.number < quint64(e.items.size())
                   ? itemText(set, policy, e.items[qsizetype(value.number)])
                   : QStringLiteral("(no item %1)").arg(value.number);
    case ElementKind::Text:
        return value.text;
    case ElementKind::MultiText:
        return value.strings.join(QStringLiteral(", "));
    case ElementKind::List: {
        QStringList entries;
        for (qsizetype i = 0; i < value.strings.size(); ++i)
            entries.append(e.explicitValue ? value.names.value(i) + QLatin1Char('=') + value.strings[i]
                                           : value.strings[i]);
        return entries.join(QStringLiteral(", "));
    }
    }
    return QString();
}

QString PolicyValues::enumItemKey(const AdmxElement& element, qsizetype item) {
    const QString& raw = element.items[item].displayName;
    if (raw.startsWith(QLatin1String("$(string.")) && raw.endsWith(QLatin1Char(')')))
        return raw.mid(9, raw.size() - 10);
    return QLatin1Char('#') + QString::number(item);
}

qsizetype PolicyValues::enumItemFromKey(const AdmxElement& element, const QString& key) {
    for (qsizetype i = 0; i < element.items.size(); ++i)
        if (enumItemKey(element, i) == key)
            return i;
    return -1;
}

} // namespace tavimor
