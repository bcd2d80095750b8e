// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateStates.h"

#include "catalogue/ProgramContext.h"
#include "templates/PolicyReader.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace tavimor {

namespace {

const QString kNamespace = QStringLiteral("Namespace");
const QString kName = QStringLiteral("Name");
const QString kClass = QStringLiteral("Class");
const QString kState = QStringLiteral("State");
const QString kId = QStringLiteral("Id");
const QString kValue = QStringLiteral("Value");

XmlNode templatesOf(const XmlDocument& catalogue) {
    const XmlNode root = catalogue.documentElement();
    if (root.isNull() || root.nodeName() != QLatin1String("TAVIMOR"))
        return {};
    return root.firstChildElement("TEMPLATES");
}

QString attribute(const XmlNode& node, const QString& name) {
    return node.attribute(name).value_or(QString());
}

// Where a policy goes in the set's order; what the set does not know goes last, in the order found.
qsizetype orderOf(const TemplateSet& set, const PolicyInstance* policy) {
    return policy ? policy - set.policies().constData() : set.policies().size();
}

StoredPolicy storedFrom(const XmlNode& node, const TemplateSet* set, const PolicyInstance* known = nullptr) {
    StoredPolicy stored;
    stored.node = node;
    stored.templateNamespace = attribute(node, kNamespace);
    stored.name = attribute(node, kName);
    stored.scope =
        attribute(node, kClass) == QLatin1String("User") ? PolicyClass::User : PolicyClass::Machine;
    stored.policy = known ? known
                    : set ? set->find(stored.templateNamespace, stored.name, stored.scope)
                          : nullptr;
    const std::optional<PolicyState> state = policyStateFromWord(attribute(node, kState));
    stored.setting.state = state.value_or(PolicyState::Other);
    for (XmlNode child = node.firstChildElement("FOUND"); child; child = child.nextSiblingElement())
        if (child.nodeName() == QLatin1String("FOUND"))
            stored.found.append(attribute(child, kValue));
    if (stored.setting.state != PolicyState::Enabled || !stored.policy)
        return stored;
    const QList<AdmxElement>& elements = stored.policy->policy->elements;
    stored.setting.values.resize(elements.size());
    for (XmlNode child = node.firstChildElement("ELEMENT"); child; child = child.nextSiblingElement()) {
        const qsizetype index = stored.policy->policy->elementIndex(attribute(child, kId));
        if (child.nodeName() != QLatin1String("ELEMENT") || index < 0)
            continue;
        // A value the template no longer takes is named when applied, never dropped silently.
        if (const std::optional<ElementValue> value = TemplateStates::readValue(child, elements[index]))
            stored.setting.values[index] = *value;
        else
            stored.setting.values[index].stale = true;
    }
    return stored;
}

XmlNode makePolicy(XmlDocument& document, const PolicyInstance& policy, const PolicySetting& setting,
                   const QStringList& found) {
    XmlNode node = document.createElement(QStringLiteral("POLICY"));
    node.setAttribute(kNamespace, policy.templateNamespace());
    node.setAttribute(kName, policy.policy->name);
    node.setAttribute(kClass, policy.scopeName());
    node.setAttribute(kState, policyStateWord(setting.state));
    if (setting.state == PolicyState::Enabled) {
        const QList<AdmxElement>& elements = policy.policy->elements;
        for (qsizetype i = 0; i < elements.size() && i < setting.values.size(); ++i) {
            if (!setting.values[i].present)
                continue;
            XmlNode element = document.createElement(QStringLiteral("ELEMENT"));
            element.setAttribute(kId, elements[i].id);
            TemplateStates::writeValue(document, element, elements[i], setting.values[i]);
            node.appendChild(element);
        }
    }
    for (const QString& line : found) {
        XmlNode element = document.createElement(QStringLiteral("FOUND"));
        element.setAttribute(kValue, line);
        node.appendChild(element);
    }
    return node;
}

// The policy's POLICY in the catalogue; no node when it has none.
XmlNode nodeOf(const XmlDocument& catalogue, const PolicyInstance& policy) {
    const XmlNode templates = templatesOf(catalogue);
    for (XmlNode node = templates ? templates.firstChildElement("POLICY") : XmlNode(); node;
         node = node.nextSiblingElement())
        if (node.nodeName() == QLatin1String("POLICY") && attribute(node, kName) == policy.policy->name &&
            attribute(node, kClass) == policy.scopeName() &&
            attribute(node, kNamespace) == policy.templateNamespace())
            return node;
    return {};
}

// A policy's state as a refresh read it.
struct Fresh {
    const PolicyInstance* policy;
    PolicySetting setting;
    QStringList found;
};

// Puts the POLICY elements under TEMPLATES in this order, making or dropping TEMPLATES as needed.
void arrange(XmlDocument& document, const QList<XmlNode>& policies) {
    XmlNode root = document.documentElement();
    XmlNode old = templatesOf(document);
    if (policies.isEmpty()) {
        if (old)
            root.removeChild(old);
        return;
    }
    XmlNode templates = document.createElement(QStringLiteral("TEMPLATES"));
    for (const XmlNode& policy : policies)
        templates.appendChild(policy);
    if (old)
        root.removeChild(old);
    root.appendChild(templates);
}

} // namespace

void TemplateStates::writeValue(XmlDocument& document, XmlNode element, const AdmxElement& definition,
                                const ElementValue& value) {
    const auto items = [&](const QStringList& strings, const QStringList& names) {
        for (qsizetype i = 0; i < strings.size(); ++i) {
            XmlNode item = document.createElement(QStringLiteral("ITEM"));
            if (definition.explicitValue && definition.kind == ElementKind::List)
                item.setAttribute(kName, names.value(i));
            item.setAttribute(kValue, strings[i]);
            element.appendChild(item);
        }
    };
    switch (definition.kind) {
    case ElementKind::Boolean:
        element.setAttribute(kValue, value.number ? QStringLiteral("true") : QStringLiteral("false"));
        break;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal:
        element.setAttribute(kValue, QString::number(value.number));
        break;
    case ElementKind::Enum:
        if (value.number < quint64(definition.items.size()))
            element.setAttribute(kValue, PolicyValues::enumItemKey(definition, qsizetype(value.number)));
        break;
    case ElementKind::Text:
        element.setAttribute(kValue, value.text);
        break;
    case ElementKind::MultiText:
    case ElementKind::List:
        items(value.strings, value.names);
        break;
    }
}

std::optional<ElementValue> TemplateStates::readValue(const XmlNode& element, const AdmxElement& definition) {
    ElementValue value;
    value.present = true;
    const std::optional<QString> text = element.attribute(kValue);
    bool ok = true;
    switch (definition.kind) {
    case ElementKind::Boolean:
        ok = text == QLatin1String("true") || text == QLatin1String("false");
        value.number = text == QLatin1String("true") ? 1 : 0;
        break;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal:
        value.number = text ? text->toULongLong(&ok) : 0;
        ok = ok && text;
        break;
    case ElementKind::Enum: {
        const qsizetype item = text ? PolicyValues::enumItemFromKey(definition, *text) : -1;
        ok = item >= 0;
        value.number = quint64(std::max<qsizetype>(item, 0));
        break;
    }
    case ElementKind::Text:
        ok = text.has_value();
        value.text = text.value_or(QString());
        break;
    case ElementKind::MultiText:
    case ElementKind::List:
        for (XmlNode item = element.firstChildElement("ITEM"); item; item = item.nextSiblingElement()) {
            if (item.nodeName() != QLatin1String("ITEM"))
                continue;
            value.strings.append(attribute(item, kValue));
            if (definition.explicitValue && definition.kind == ElementKind::List)
                value.names.append(attribute(item, kName));
        }
        break;
    }
    return ok ? std::optional<ElementValue>(value) : std::nullopt;
}

QList<StoredPolicy> TemplateStates::read(const XmlDocument& catalogue, const TemplateSet* set) {
    QList<StoredPolicy> stored;
    const XmlNode templates = templatesOf(catalogue);
    for (XmlNode node = templates ? templates.firstChildElement("POLICY") : XmlNode(); node;
         node = node.nextSiblingElement())
        if (node.nodeName() == QLatin1String("POLICY"))
            stored.append(storedFrom(node, set));
    return stored;
}

PolicySetting TemplateStates::settingOf(const XmlDocument& catalogue, const PolicyInstance& policy) {
    const XmlNode node = nodeOf(catalogue, policy);
    return node ? storedFrom(node, nullptr, &policy).setting : PolicySetting{};
}

QStringList TemplateStates::foundOf(const XmlDocument& catalogue, const PolicyInstance& policy) {
    const XmlNode node = nodeOf(catalogue, policy);
    return node ? storedFrom(node, nullptr, &policy).found : QStringList();
}

void TemplateStates::store(XmlDocument& catalogue, const TemplateSet& set, const PolicyInstance& policy,
                           const PolicySetting& setting, const QStringList& found) {
    if (catalogue.documentElement().isNull())
        return;
    const XmlNode made = setting.state == PolicyState::NotConfigured
                             ? XmlNode()
                             : makePolicy(catalogue, policy, setting, found);
    const qsizetype place = orderOf(set, &policy);
    QList<XmlNode> order;
    bool placed = made.isNull();
    for (const StoredPolicy& stored : read(catalogue, &set)) {
        if (stored.policy == &policy)
            continue;
        if (!placed && orderOf(set, stored.policy) > place) {
            order.append(made);
            placed = true;
        }
        order.append(stored.node);
    }
    if (!placed)
        order.append(made);
    arrange(catalogue, order);
}

QStringList TemplateStates::refresh(ProgramContext& context) {
    QList<const PolicyInstance*> all;
    if (context.templates)
        for (const PolicyInstance& policy : context.templates->policies())
            all.append(&policy);
    return refresh(context, all);
}

QStringList TemplateStates::refresh(ProgramContext& context, const QList<const PolicyInstance*>& policies) {
    const TemplateSet* set = context.templates;
    XmlDocument& machine = context.machineCatalogue;
    if (!set || set->isEmpty() || machine.documentElement().isNull() || policies.isEmpty())
        return {};
    QList<const PolicyInstance*> asked;
    QSet<const PolicyInstance*> seen;
    QList<RegKeyName> keys;
    for (const PolicyInstance* policy : policies) {
        if (seen.contains(policy))
            continue;
        seen.insert(policy);
        asked.append(policy);
        keys += PolicyReader::keys(*policy);
    }
    std::sort(asked.begin(), asked.end(), [&](const PolicyInstance* a, const PolicyInstance* b) {
        return orderOf(*set, a) < orderOf(*set, b);
    });
    RegistryBackend& backend = context.registry.backend();
    // Asked together, a target where each question is dear answers them at once.
    backend.prepareReads(keys);
    BackendPolicyView view(backend);
    QStringList unread;
    // Each policy's POLICY to be, as read (or marked unread), in the set's order.
    QList<Fresh> fresh;
    for (const PolicyInstance* policy : std::as_const(asked)) {
        PolicyReading reading = PolicyReader::read(view, *policy);
        if (reading.setting.state == PolicyState::Unread) {
            // Not known now: marked so, and never taken for what the registry holds.
            unread.append(policy->name());
            fresh.append({policy, {PolicyState::Unread, {}}, {}});
        } else if (reading.setting.state != PolicyState::NotConfigured) {
            if (reading.setting.state != PolicyState::Other)
                reading.found.clear();
            fresh.append({policy, std::move(reading.setting), std::move(reading.found)});
        }
    }
    // The POLICYs of policies not read stay as they are, with the fresh ones at their places.
    const QList<StoredPolicy> before = read(machine, set);
    QList<std::pair<const Fresh*, XmlNode>> after;
    qsizetype next = 0;
    for (const StoredPolicy& stored : before) {
        if (seen.contains(stored.policy))
            continue;
        for (; next < fresh.size() && orderOf(*set, fresh[next].policy) < orderOf(*set, stored.policy);
             ++next)
            after.append({&fresh[next], XmlNode()});
        after.append({nullptr, stored.node});
    }
    for (; next < fresh.size(); ++next)
        after.append({&fresh[next], XmlNode()});
    // Only a change rewrites the element, so a refresh of an unchanged registry writes nothing.
    bool same = after.size() == before.size();
    for (qsizetype i = 0; same && i < after.size(); ++i)
        if (const Fresh* item = after[i].first)
            same = before[i].policy == item->policy && before[i].setting == item->setting &&
                   before[i].found == item->found;
    if (same)
        return unread;
    QList<XmlNode> order;
    for (const auto& [item, node] : std::as_const(after))
        order.append(item ? makePolicy(machine, *item->policy, item->setting, item->found) : node);
    arrange(machine, order);
    return unread;
}

} // namespace tavimor
