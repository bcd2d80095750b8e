// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdmxReader.h"

#include "TemplateXml.h"

#include <QSet>
#include <limits>

namespace tavimor {

namespace {

constexpr quint32 npos = TemplateXml::npos;

class Reader {
public:
    explicit Reader(const TemplateXml& xml)
        : m_xml(xml) {}

    bool file(AdmxFile& file);
    QString error() const { return m_error; }

private:
    bool fail(quint32 node, const QString& reason) {
        if (m_error.isEmpty())
            m_error = atLine(m_xml.line(node), reason);
        return false;
    }
    QString attr(quint32 node, QByteArrayView name) const { return m_xml.attributeOr(node, name); }
    bool key(quint32 node, QByteArrayView name, QString* out);
    bool flag(quint32 node, QByteArrayView name, bool* out);
    bool number(quint32 node, QByteArrayView name, quint64 max, quint64* out);
    bool count(quint32 node, qsizetype size, qsizetype limit, const char* what);

    bool namespaces(quint32 node, AdmxFile& file);
    bool categories(quint32 node, AdmxFile& file);
    bool policy(quint32 node, AdmxPolicy& policy);
    bool value(quint32 node, AdmxValue& value);
    bool valueList(quint32 node, AdmxValueList& list);
    bool element(quint32 node, AdmxElement& element);
    bool enumItems(quint32 node, AdmxElement& element);

    const TemplateXml& m_xml;
    QString m_error;
};

// No registry holds a key with an empty part: its policy could be written nowhere and read from nowhere.
bool Reader::key(quint32 node, QByteArrayView name, QString* out) {
    *out = attr(node, name);
    if (out->isEmpty() || !out->split(QLatin1Char('\\')).contains(QString()))
        return true;
    return fail(node, QStringLiteral("the key \"%1\" has an empty part").arg(*out));
}

bool Reader::flag(quint32 node, QByteArrayView name, bool* out) {
    const std::optional<QString> text = m_xml.attribute(node, name);
    if (!text)
        return true;
    if (*text == QLatin1String("true") || *text == QLatin1String("1"))
        *out = true;
    else if (*text == QLatin1String("false") || *text == QLatin1String("0"))
        *out = false;
    else
        return fail(node, QStringLiteral("%1=\"%2\" is neither true nor false")
                              .arg(QString::fromLatin1(name.toByteArray()), *text));
    return true;
}

bool Reader::number(quint32 node, QByteArrayView name, quint64 max, quint64* out) {
    const std::optional<QString> text = m_xml.attribute(node, name);
    if (!text)
        return true;
    bool ok = false;
    const quint64 parsed = text->trimmed().toULongLong(&ok, 10);
    if (!ok || parsed > max)
        return fail(node, QStringLiteral("%1=\"%2\" is no number from 0 to %3")
                              .arg(QString::fromLatin1(name.toByteArray()), *text)
                              .arg(max));
    *out = parsed;
    return true;
}

bool Reader::count(quint32 node, qsizetype size, qsizetype limit, const char* what) {
    if (size < limit)
        return true;
    return fail(
        node,
        QStringLiteral("more than %1 %2; no template needs so many").arg(limit).arg(QLatin1String(what)));
}

bool Reader::file(AdmxFile& file) {
    const quint32 root = m_xml.root();
    if (!m_xml.is(root, "policyDefinitions"))
        return fail(root, QStringLiteral("the root element is <%1>, not <policyDefinitions>")
                              .arg(QString::fromUtf8(m_xml.name(root))));
    bool sawNamespaces = false;
    for (quint32 c = m_xml.firstChild(root); c != npos; c = m_xml.next(c)) {
        if (m_xml.is(c, "policyNamespaces")) {
            sawNamespaces = true;
            if (!namespaces(c, file))
                return false;
        } else if (m_xml.is(c, "supportedOn")) {
            const quint32 definitions = m_xml.child(c, "definitions");
            for (quint32 d = definitions == npos ? npos : m_xml.firstChild(definitions); d != npos;
                 d = m_xml.next(d))
                if (m_xml.is(d, "definition") &&
                    count(d, file.supportedOn.size(), kMaxTemplateItems, "definitions"))
                    file.supportedOn.append({attr(d, "name"), attr(d, "displayName")});
        } else if (m_xml.is(c, "categories")) {
            if (!categories(c, file))
                return false;
        } else if (m_xml.is(c, "policies")) {
            for (quint32 p = m_xml.firstChild(c); p != npos; p = m_xml.next(p)) {
                if (!m_xml.is(p, "policy"))
                    continue;
                if (!count(p, file.policies.size(), kMaxTemplateItems, "policies"))
                    return false;
                file.policies.append(AdmxPolicy{});
                if (!policy(p, file.policies.last()))
                    return false;
            }
        }
    }
    if (!m_error.isEmpty())
        return false;
    if (!sawNamespaces || file.targetNamespace.isEmpty())
        return fail(root, QStringLiteral("the file names no target namespace (policyNamespaces/target)"));
    return true;
}

bool Reader::namespaces(quint32 node, AdmxFile& file) {
    for (quint32 c = m_xml.firstChild(node); c != npos; c = m_xml.next(c)) {
        const bool target = m_xml.is(c, "target");
        if (!target && !m_xml.is(c, "using"))
            continue;
        const QString prefix = attr(c, "prefix");
        const QString space = attr(c, "namespace");
        if (prefix.isEmpty() || space.isEmpty())
            return fail(c, QStringLiteral("a namespace without its prefix or namespace"));
        if (!count(c, file.usings.size(), kMaxPolicyElements, "namespaces"))
            return false;
        if (target) {
            file.targetPrefix = prefix;
            file.targetNamespace = space;
        }
        file.usings.insert(prefix, space);
    }
    return true;
}

bool Reader::categories(quint32 node, AdmxFile& file) {
    for (quint32 c = m_xml.firstChild(node); c != npos; c = m_xml.next(c)) {
        if (!m_xml.is(c, "category"))
            continue;
        if (!count(c, file.categories.size(), kMaxTemplateItems, "categories"))
            return false;
        AdmxCategory category{
            attr(c, "name"), attr(c, "displayName"), attr(c, "explainText"), {}, m_xml.line(c)};
        if (category.name.isEmpty())
            return fail(c, QStringLiteral("a category without a name"));
        if (const quint32 parent = m_xml.child(c, "parentCategory"); parent != npos)
            category.parentCategory = attr(parent, "ref");
        file.categories.append(category);
    }
    return true;
}

bool Reader::policy(quint32 node, AdmxPolicy& policy) {
    policy.line = m_xml.line(node);
    policy.name = attr(node, "name");
    if (policy.name.isEmpty())
        return fail(node, QStringLiteral("a policy without a name"));
    const QString policyClass = attr(node, "class");
    if (policyClass == QLatin1String("Machine"))
        policy.policyClass = PolicyClass::Machine;
    else if (policyClass == QLatin1String("User"))
        policy.policyClass = PolicyClass::User;
    else if (policyClass == QLatin1String("Both"))
        policy.policyClass = PolicyClass::Both;
    else
        return fail(node, QStringLiteral("the policy %1 has the class \"%2\", not Machine, User or Both")
                              .arg(policy.name, policyClass));
    policy.displayName = attr(node, "displayName");
    policy.explainText = attr(node, "explainText");
    policy.presentation = attr(node, "presentation");
    if (!key(node, "key", &policy.key))
        return false;
    policy.valueName = attr(node, "valueName");
    if (policy.key.isEmpty())
        return fail(node, QStringLiteral("the policy %1 has no registry key").arg(policy.name));
    for (quint32 c = m_xml.firstChild(node); c != npos; c = m_xml.next(c)) {
        bool ok = true;
        if (m_xml.is(c, "parentCategory"))
            policy.parentCategory = attr(c, "ref");
        else if (m_xml.is(c, "supportedOn"))
            policy.supportedOn = attr(c, "ref");
        else if (m_xml.is(c, "enabledValue"))
            ok = value(c, policy.enabledValue);
        else if (m_xml.is(c, "disabledValue"))
            ok = value(c, policy.disabledValue);
        else if (m_xml.is(c, "enabledList"))
            ok = valueList(c, policy.enabledList);
        else if (m_xml.is(c, "disabledList"))
            ok = valueList(c, policy.disabledList);
        else if (m_xml.is(c, "elements")) {
            QSet<QString> ids;
            for (quint32 e = m_xml.firstChild(c); ok && e != npos; e = m_xml.next(e)) {
                ok = count(e, policy.elements.size(), kMaxPolicyElements, "elements");
                policy.elements.append(AdmxElement{});
                ok = ok && element(e, policy.elements.last());
                if (ok && ids.contains(policy.elements.last().id))
                    ok = fail(e, QStringLiteral("the policy %1 has two elements with the id %2")
                                     .arg(policy.name, policy.elements.last().id));
                ids.insert(policy.elements.last().id);
            }
        }
        if (!ok)
            return false;
    }
    return true;
}

bool Reader::value(quint32 node, AdmxValue& value) {
    const quint32 c = m_xml.firstChild(node);
    if (c == npos)
        return fail(node, QStringLiteral("<%1> holds no value").arg(QString::fromUtf8(m_xml.name(node))));
    if (m_xml.is(c, "delete")) {
        value.kind = AdmxValue::Kind::Delete;
    } else if (m_xml.is(c, "decimal") || m_xml.is(c, "longDecimal")) {
        const bool isLong = m_xml.is(c, "longDecimal");
        value.kind = isLong ? AdmxValue::Kind::LongDecimal : AdmxValue::Kind::Decimal;
        if (!m_xml.attribute(c, "value"))
            return fail(c, QStringLiteral("a number without its value"));
        return number(c, "value", isLong ? std::numeric_limits<quint64>::max() : 0xFFFFFFFFull,
                      &value.number);
    } else if (m_xml.is(c, "string")) {
        value.kind = AdmxValue::Kind::String;
        value.text = m_xml.text(c);
    } else {
        return fail(c, QStringLiteral("<%1> is no value (delete, decimal, longDecimal or string)")
                           .arg(QString::fromUtf8(m_xml.name(c))));
    }
    return true;
}

bool Reader::valueList(quint32 node, AdmxValueList& list) {
    if (!key(node, "defaultKey", &list.defaultKey))
        return false;
    for (quint32 c = m_xml.firstChild(node); c != npos; c = m_xml.next(c)) {
        if (!m_xml.is(c, "item"))
            continue;
        if (!count(c, list.items.size(), kMaxPolicyElements, "items"))
            return false;
        AdmxValueItem item{{}, attr(c, "valueName"), {}};
        if (!key(c, "key", &item.key))
            return false;
        const quint32 valueNode = m_xml.child(c, "value");
        if (valueNode == npos)
            return fail(c, QStringLiteral("an item without its value"));
        if (!value(valueNode, item.value))
            return false;
        list.items.append(item);
    }
    return true;
}

bool Reader::element(quint32 node, AdmxElement& element) {
    static const struct {
        QByteArrayView name;
        ElementKind kind;
    } kKinds[] = {{"boolean", ElementKind::Boolean},
                  {"decimal", ElementKind::Decimal},
                  {"longDecimal", ElementKind::LongDecimal},
                  {"enum", ElementKind::Enum},
                  {"text", ElementKind::Text},
                  {"multiText", ElementKind::MultiText},
                  {"list", ElementKind::List}};
    bool known = false;
    for (const auto& kind : kKinds) {
        if (m_xml.is(node, kind.name)) {
            element.kind = kind.kind;
            known = true;
        }
    }
    if (!known)
        return fail(node, QStringLiteral("<%1> is no element kind this program knows")
                              .arg(QString::fromUtf8(m_xml.name(node))));
    element.line = m_xml.line(node);
    element.id = attr(node, "id");
    if (!key(node, "key", &element.key))
        return false;
    element.valueName = attr(node, "valueName");
    if (element.id.isEmpty())
        return fail(node, QStringLiteral("an element without an id"));
    const bool isList = element.kind == ElementKind::List;
    const bool isBoolean = element.kind == ElementKind::Boolean;
    if (!flag(node, "required", &element.required) || !flag(node, "soft", &element.soft) ||
        !flag(node, "expandable", &element.expandable))
        return false;
    switch (element.kind) {
    case ElementKind::Boolean:
        for (quint32 c = m_xml.firstChild(node); c != npos; c = m_xml.next(c)) {
            const bool ok = m_xml.is(c, "trueValue")    ? value(c, element.trueValue)
                            : m_xml.is(c, "falseValue") ? value(c, element.falseValue)
                            : m_xml.is(c, "trueList")   ? valueList(c, element.trueList)
                            : m_xml.is(c, "falseList")  ? valueList(c, element.falseList)
                                                        : true;
            if (!ok)
                return false;
        }
        break;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal: {
        const quint64 max =
            element.kind == ElementKind::Decimal ? 0xFFFFFFFFull : std::numeric_limits<quint64>::max();
        if (!number(node, "minValue", max, &element.minValue) ||
            !number(node, "maxValue", max, &element.maxValue) ||
            !flag(node, "storeAsText", &element.storeAsText))
            return false;
        if (element.minValue > element.maxValue)
            return fail(node, QStringLiteral("the element %1 has minValue %2 above maxValue %3")
                                  .arg(element.id)
                                  .arg(element.minValue)
                                  .arg(element.maxValue));
        break;
    }
    case ElementKind::Enum:
        if (!enumItems(node, element))
            return false;
        break;
    case ElementKind::Text:
    case ElementKind::MultiText: {
        quint64 maxLength = quint64(element.maxLength);
        quint64 maxStrings = 0;
        if (!number(node, "maxLength", 0x7FFFFFFF, &maxLength) ||
            !number(node, "maxStrings", 0x7FFFFFFF, &maxStrings))
            return false;
        element.maxLength = int(maxLength);
        element.maxStrings = int(maxStrings);
        break;
    }
    case ElementKind::List:
        if (const std::optional<QString> prefix = m_xml.attribute(node, "valuePrefix"))
            element.valuePrefix = *prefix;
        if (!flag(node, "additive", &element.additive) ||
            !flag(node, "explicitValue", &element.explicitValue))
            return false;
        break;
    }
    const bool listsOnly = isBoolean && (!element.trueList.isEmpty() || !element.falseList.isEmpty());
    if (!isList && !listsOnly && element.valueName.isEmpty())
        return fail(node, QStringLiteral("the element %1 has no valueName").arg(element.id));
    return true;
}

bool Reader::enumItems(quint32 node, AdmxElement& element) {
    for (quint32 c = m_xml.firstChild(node); c != npos; c = m_xml.next(c)) {
        if (!m_xml.is(c, "item"))
            continue;
        if (!count(c, element.items.size(), kMaxPolicyElements, "items"))
            return false;
        AdmxEnumItem item{attr(c, "displayName"), {}, {}};
        const quint32 valueNode = m_xml.child(c, "value");
        if (valueNode == npos)
            return fail(c, QStringLiteral("an item without its value"));
        if (!value(valueNode, item.value))
            return false;
        if (const quint32 list = m_xml.child(c, "valueList");
            list != npos && !valueList(list, item.valueList))
            return false;
        element.items.append(item);
    }
    if (element.items.isEmpty())
        return fail(node, QStringLiteral("the enum %1 has no items").arg(element.id));
    return true;
}

} // namespace

std::optional<AdmxFile> AdmxReader::read(const QByteArray& bytes, const QString& path, QString* error) {
    TemplateXml xml;
    if (!xml.parse(bytes, error))
        return std::nullopt;
    AdmxFile file;
    file.path = path;
    Reader reader(xml);
    if (!reader.file(file)) {
        if (error)
            *error = reader.error();
        return std::nullopt;
    }
    return file;
}

} // namespace tavimor
