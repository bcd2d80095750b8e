// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyReader.h"

#include "PolicyPlaces.h"

#include <QSet>
#include <QtEndian>
#include <algorithm>

namespace tavimor {

namespace {

using Status = PolicyRegistryView::Status;

bool isText(quint32 type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

QStringList multiStrings(const RegValue& value) {
    QStringList strings;
    for (const QByteArray& part : value.data.split('\0')) {
        if (part.isEmpty())
            break;
        strings.append(QString::fromLatin1(part));
    }
    return strings;
}

// One policy's reads: each value once, what is there noted in template order.
class Reads {
public:
    Reads(PolicyRegistryView& view, const PolicyInstance& policy)
        : m_view(view)
        , m_hive(policy.hive()) {}

    std::optional<RegValue> get(const QString& key, const QString& name) {
        const QString id = key.toLower() + QChar(0) + name.toLower();
        if (const auto found = m_cache.constFind(id); found != m_cache.cend())
            return *found;
        RegValue value;
        const Status status = m_view.value(m_hive, key, name, &value);
        std::optional<RegValue> result;
        if (status == Status::Unread)
            note(m_view.unreadReason());
        if (status == Status::Deleted)
            m_deleted.insert(id);
        if (status == Status::Present) {
            result = value;
            found.append(QStringLiteral("%1\\%2 = %3").arg(key, name, PolicyReader::valueText(value)));
        }
        m_cache.insert(id, result);
        return result;
    }
    bool names(const QString& key, QStringList* names, bool* deleted = nullptr) {
        const Status status = m_view.valueNames(m_hive, key, names);
        if (status == Status::Unread)
            note(m_view.unreadReason());
        if (deleted)
            *deleted = status == Status::Deleted;
        return status == Status::Present;
    }
    // The source said the value is deleted (a policy file's "**del.").
    bool deleted(const QString& key, const QString& name) {
        get(key, name);
        return m_deleted.contains(key.toLower() + QChar(0) + name.toLower());
    }
    bool matches(const QString& key, const QString& name, const AdmxValue& wanted) {
        const std::optional<RegValue> found = get(key, name);
        if (wanted.isDelete())
            return !found;
        return found && PolicyReader::sameValue(*found, *wanted.regValue());
    }
    // Every item of the list as it says; false for an empty list.
    bool listMatches(const AdmxValueList& list, const QString& ownerKey, bool* positive) {
        bool all = true;
        for (const AdmxValueItem& item : list.items) {
            const QString key = itemKey(item, list, ownerKey);
            all = matches(key, item.valueName, item.value) && all;
            *positive = *positive || !item.value.isDelete() || deleted(key, item.valueName);
        }
        return all;
    }

    QStringList found;
    bool unread = false;
    QString reason;

private:
    void note(const QString& why) {
        if (!unread)
            reason = why;
        unread = true;
    }

    PolicyRegistryView& m_view;
    HKEY m_hive;
    QHash<QString, std::optional<RegValue>> m_cache;
    QSet<QString> m_deleted;
};

// Implied: nothing of the element is there, which is how the template writes the value found
// (a false or an item written as a deletion); it says nothing of the policy's state. Deleted: a
// policy file deletes the element's value, as disabling the policy does.
enum class ElementRead { Absent, Implied, Valid, Invalid, Deleted };

ElementRead readNumber(const AdmxElement& e, const RegValue& v, ElementValue& out) {
    const quint32 width = e.kind == ElementKind::LongDecimal ? 8 : 4;
    if (e.storeAsText && isText(v.type)) {
        bool ok = false;
        out.number = PolicyReader::textOf(v).toULongLong(&ok);
        if (!ok)
            return ElementRead::Invalid;
    } else if (!e.storeAsText && v.type == (width == 8 ? REG_QWORD : REG_DWORD) && v.data.size() == width) {
        out.number = width == 8 ? qFromLittleEndian<quint64>(v.data.constData())
                                : qFromLittleEndian<quint32>(v.data.constData());
    } else {
        return ElementRead::Invalid;
    }
    return out.number >= e.minValue && out.number <= e.maxValue ? ElementRead::Valid : ElementRead::Invalid;
}

ElementRead readList(Reads& reads, const AdmxElement& e, const QString& key, ElementValue& out) {
    QStringList names;
    bool deleted = false;
    if (!reads.names(key, &names, &deleted) || names.isEmpty())
        return deleted ? ElementRead::Deleted : ElementRead::Absent;
    QList<std::pair<quint64, qsizetype>> order; // prefixed lists go by their number
    for (qsizetype i = 0; i < names.size(); ++i) {
        quint64 number = quint64(i);
        if (e.valuePrefix && !e.explicitValue) {
            bool ok = names[i].startsWith(*e.valuePrefix, Qt::CaseInsensitive);
            number = ok ? names[i].mid(e.valuePrefix->size()).toULongLong(&ok) : 0;
            if (!ok)
                return ElementRead::Invalid;
        }
        order.append({number, i});
    }
    std::sort(order.begin(), order.end());
    for (const auto& [number, i] : order) {
        const std::optional<RegValue> v = reads.get(key, names[i]);
        if (!v || !isText(v->type))
            return ElementRead::Invalid;
        const QString data = PolicyReader::textOf(*v);
        if (!e.valuePrefix && !e.explicitValue && data.compare(names[i], Qt::CaseInsensitive) != 0)
            return ElementRead::Invalid;
        out.strings.append(data);
        if (e.explicitValue)
            out.names.append(names[i]);
    }
    out.present = true;
    return ElementRead::Valid;
}

// Whether the element's value and list say it is true (or false), where it has either.
bool booleanHolds(Reads& reads, const AdmxElement& e, const QString& key, bool which) {
    bool any = false;
    bool all = true;
    if (!e.valueName.isEmpty()) {
        any = true;
        all = reads.matches(key, e.valueName, booleanValue(e, which));
    }
    if (const AdmxValueList& list = which ? e.trueList : e.falseList; !list.isEmpty()) {
        bool positive = false;
        any = true;
        all = reads.listMatches(list, key, &positive) && all;
    }
    return any && all;
}

ElementRead readElement(Reads& reads, const AdmxPolicy& policy, const AdmxElement& e, ElementValue& out) {
    const QString key = elementKey(policy, e);
    if (e.kind == ElementKind::List)
        return readList(reads, e, key, out);
    const qsizetype before = reads.found.size();
    const std::optional<RegValue> v = e.valueName.isEmpty() ? std::nullopt : reads.get(key, e.valueName);
    ElementRead result = ElementRead::Invalid;
    switch (e.kind) {
    case ElementKind::Boolean:
        if (booleanHolds(reads, e, key, true)) {
            out.number = 1;
            result = ElementRead::Valid;
        } else if (booleanHolds(reads, e, key, false)) {
            result = ElementRead::Valid;
        }
        break;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal:
        if (v)
            result = readNumber(e, *v, out);
        break;
    case ElementKind::Enum:
        for (qsizetype i = 0; result != ElementRead::Valid && i < e.items.size(); ++i) {
            if (reads.matches(key, e.valueName, e.items[i].value)) {
                out.number = quint64(i);
                result = ElementRead::Valid;
            }
        }
        break;
    case ElementKind::Text:
        if (v && isText(v->type)) {
            out.text = PolicyReader::textOf(*v);
            result = ElementRead::Valid;
        }
        break;
    case ElementKind::MultiText:
        if (v && v->type == REG_MULTI_SZ) {
            out.strings = multiStrings(*v);
            result = ElementRead::Valid;
        }
        break;
    case ElementKind::List:
        break;
    }
    out.present = result == ElementRead::Valid;
    if (reads.found.size() > before)
        return result;
    // A deletion may itself be the value (a false written so); either way the file deleted it.
    if (result != ElementRead::Valid)
        out = {};
    if (!e.valueName.isEmpty() && reads.deleted(key, e.valueName))
        return ElementRead::Deleted;
    return result == ElementRead::Valid ? ElementRead::Implied : ElementRead::Absent;
}

} // namespace

QList<RegKeyName> PolicyReader::keys(const PolicyInstance& instance) {
    const AdmxPolicy& policy = *instance.policy;
    QStringList keys{policy.key};
    const auto add = [&](const QString& key) {
        if (!keys.contains(key, Qt::CaseInsensitive))
            keys.append(key);
    };
    const auto addList = [&](const AdmxValueList& list, const QString& ownerKey) {
        for (const AdmxValueItem& item : list.items)
            add(itemKey(item, list, ownerKey));
    };
    addList(policy.enabledList, policy.key);
    addList(policy.disabledList, policy.key);
    for (const AdmxElement& e : policy.elements) {
        const QString key = elementKey(policy, e);
        add(key);
        addList(e.trueList, key);
        addList(e.falseList, key);
        for (const AdmxEnumItem& item : e.items)
            addList(item.valueList, key);
    }
    QList<RegKeyName> names;
    for (const QString& key : std::as_const(keys))
        names.append({instance.hive(), key});
    return names;
}

PolicyReading PolicyReader::read(PolicyRegistryView& view, const PolicyInstance& instance) {
    const AdmxPolicy& policy = *instance.policy;
    Reads reads(view, instance);
    bool enabledPositive = false;
    bool disabledPositive = false;
    bool enabledForm = true;
    bool disabledForm = true;
    if (!policy.valueName.isEmpty()) {
        const AdmxValue enabled = policyValue(policy, true);
        const AdmxValue disabled = policyValue(policy, false);
        enabledPositive = !enabled.isDelete();
        disabledPositive = !disabled.isDelete();
        enabledForm = reads.matches(policy.key, policy.valueName, enabled);
        disabledForm = reads.matches(policy.key, policy.valueName, disabled);
        disabledPositive = disabledPositive || reads.deleted(policy.key, policy.valueName);
    }
    enabledForm = reads.listMatches(policy.enabledList, policy.key, &enabledPositive) && enabledForm;
    disabledForm = reads.listMatches(policy.disabledList, policy.key, &disabledPositive) && disabledForm;

    PolicyReading reading;
    bool anyElement = false;
    bool elementsFit = true;
    bool elementsDeleted = !policy.elements.isEmpty();
    for (const AdmxElement& e : policy.elements) {
        ElementValue value;
        const ElementRead read = readElement(reads, policy, e, value);
        elementsDeleted = elementsDeleted && read == ElementRead::Deleted;
        anyElement = anyElement || read == ElementRead::Valid || read == ElementRead::Invalid;
        const bool has = read == ElementRead::Valid || read == ElementRead::Implied || value.present;
        elementsFit = elementsFit && read != ElementRead::Invalid && (has || !e.required);
        reading.setting.values.append(value);
    }
    reading.found = reads.found;
    if (reads.unread) {
        reading.setting = {PolicyState::Unread, {}};
        reading.unreadReason = reads.reason;
        return reading;
    }
    enabledForm = enabledForm && (enabledPositive || (anyElement && !(disabledPositive && disabledForm)));
    // Every element deleted is how a policy file disables a policy of elements alone.
    disabledForm = disabledForm && (disabledPositive || (elementsDeleted && !enabledPositive));
    if (enabledForm && elementsFit) {
        reading.setting.state = PolicyState::Enabled;
        return reading;
    }
    if (disabledForm && !anyElement) {
        reading.setting = {PolicyState::Disabled, {}};
        return reading;
    }
    if (reading.found.isEmpty())
        reading.setting = {PolicyState::NotConfigured, {}};
    else
        reading.setting.state = PolicyState::Other;
    return reading;
}

QString PolicyReader::textOf(const RegValue& value) {
    const qsizetype nul = value.data.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? value.data : value.data.left(nul));
}

QString PolicyReader::valueText(const RegValue& value) {
    if (value.type == REG_DWORD && value.data.size() == 4)
        return QString::number(qFromLittleEndian<quint32>(value.data.constData()));
    if (value.type == REG_QWORD && value.data.size() == 8)
        return QString::number(qFromLittleEndian<quint64>(value.data.constData()));
    if (isText(value.type))
        return QLatin1Char('"') + textOf(value) + QLatin1Char('"');
    if (value.type == REG_MULTI_SZ) {
        QStringList quoted;
        for (const QString& s : multiStrings(value))
            quoted.append(QLatin1Char('"') + s + QLatin1Char('"'));
        return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    return QStringLiteral("hex(%1):%2")
        .arg(value.type, 0, 16)
        .arg(QString::fromLatin1(value.data.toHex(',')));
}

bool PolicyReader::sameValue(const RegValue& found, const RegValue& wanted) {
    if (found.type != wanted.type)
        return false;
    if (isText(found.type))
        return textOf(found) == textOf(wanted);
    return found.data == wanted.data;
}

} // namespace tavimor
