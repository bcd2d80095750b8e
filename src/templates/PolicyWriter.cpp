// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyWriter.h"

#include "PolicyPlaces.h"

#include <QSet>
#include <algorithm>

namespace tavimor {

namespace {

using Kind = RegChange::Kind;
using Mark = RegChange::Mark;

class Changes {
public:
    explicit Changes(HKEY hive)
        : m_hive(hive) {}

    void put(const QString& key, const QString& name, const AdmxValue& value, Mark mark = Mark::None) {
        if (value.isDelete())
            remove(key, name, Mark::Stated);
        else if (const std::optional<RegValue> reg = value.regValue())
            set(key, name, *reg, mark);
    }
    void set(const QString& key, const QString& name, const RegValue& value, Mark mark = Mark::None) {
        list.append({Kind::SetValue, m_hive, key, name, value, mark});
    }
    void remove(const QString& key, const QString& name, Mark mark) {
        list.append({Kind::DeleteValue, m_hive, key, name, {}, mark});
    }
    void clear(const QString& key, Mark mark) {
        list.append({Kind::DeleteValues, m_hive, key, {}, {}, mark});
    }
    void putList(const AdmxValueList& items, const QString& ownerKey) {
        for (const AdmxValueItem& item : items.items)
            put(itemKey(item, items, ownerKey), item.valueName, item.value);
    }
    void removeList(const AdmxValueList& items, const QString& ownerKey, Mark mark) {
        for (const AdmxValueItem& item : items.items)
            remove(itemKey(item, items, ownerKey), item.valueName, mark);
    }

    QList<RegChange> list;

private:
    HKEY m_hive;
};

// The element's values other than a list's entries: its own value and the lists it may write.
void removeElement(Changes& out, const AdmxPolicy& policy, const AdmxElement& e, Mark mark) {
    const QString key = elementKey(policy, e);
    if (e.kind == ElementKind::List) {
        out.clear(key, mark);
        return;
    }
    if (!e.valueName.isEmpty())
        out.remove(key, e.valueName, mark);
    out.removeList(e.trueList, key, mark);
    out.removeList(e.falseList, key, mark);
    for (const AdmxEnumItem& item : e.items)
        out.removeList(item.valueList, key, mark);
}

void writeElement(Changes& out, const AdmxPolicy& policy, const AdmxElement& e, const ElementValue& v) {
    if (!v.present)
        return;
    const QString key = elementKey(policy, e);
    const Mark soft = e.soft ? Mark::Soft : Mark::None;
    switch (e.kind) {
    case ElementKind::Boolean:
        if (!e.valueName.isEmpty())
            out.put(key, e.valueName, booleanValue(e, v.number != 0));
        out.putList(v.number != 0 ? e.trueList : e.falseList, key);
        break;
    case ElementKind::Decimal:
        out.set(key, e.valueName,
                e.storeAsText ? regSz(QString::number(v.number)) : regDword(quint32(v.number)), soft);
        break;
    case ElementKind::LongDecimal:
        out.set(key, e.valueName, e.storeAsText ? regSz(QString::number(v.number)) : regQword(v.number),
                soft);
        break;
    case ElementKind::Enum: {
        const AdmxEnumItem& item = e.items[qsizetype(v.number)];
        out.put(key, e.valueName, item.value);
        out.putList(item.valueList, key);
        break;
    }
    case ElementKind::Text:
        out.set(key, e.valueName, e.expandable ? regExpandSz(v.text) : regSz(v.text), soft);
        break;
    case ElementKind::MultiText:
        out.set(key, e.valueName, regMultiSz(v.strings), soft);
        break;
    case ElementKind::List:
        if (!e.additive)
            out.clear(key, Mark::Stated);
        for (qsizetype i = 0; i < v.strings.size(); ++i) {
            const QString name = e.explicitValue ? v.names.value(i)
                                 : e.valuePrefix ? *e.valuePrefix + QString::number(i + 1)
                                                 : v.strings[i];
            out.set(key, name, e.expandable ? regExpandSz(v.strings[i]) : regSz(v.strings[i]));
        }
        break;
    }
}

QString placeOf(const RegChange& change) {
    return change.subKey.toLower() + QChar(0) + change.name.toLower() +
           QChar(change.kind == Kind::DeleteValues ? 1 : 2);
}

} // namespace

QList<RegChange> PolicyWriter::changes(const PolicyInstance& instance, const PolicySetting& setting) {
    const AdmxPolicy& policy = *instance.policy;
    Changes all(instance.hive());
    if (!policy.valueName.isEmpty())
        all.remove(policy.key, policy.valueName, Mark::None);
    all.removeList(policy.enabledList, policy.key, Mark::None);
    all.removeList(policy.disabledList, policy.key, Mark::None);
    for (const AdmxElement& e : policy.elements)
        removeElement(all, policy, e, Mark::None);
    if (setting.state != PolicyState::Enabled && setting.state != PolicyState::Disabled)
        return all.list;

    Changes state(instance.hive());
    const bool enabled = setting.state == PolicyState::Enabled;
    if (enabled) {
        if (!policy.valueName.isEmpty())
            state.put(policy.key, policy.valueName, policyValue(policy, true));
        state.putList(policy.enabledList, policy.key);
        for (qsizetype i = 0; i < policy.elements.size(); ++i)
            writeElement(state, policy, policy.elements[i], setting.values.value(i));
    } else {
        for (const AdmxElement& e : policy.elements)
            removeElement(state, policy, e, Mark::Stated);
        if (!policy.valueName.isEmpty())
            state.put(policy.key, policy.valueName, policyValue(policy, false));
        state.putList(policy.disabledList, policy.key);
    }
    // What the state writes, each place once (the last word wins), a list's key emptied before any
    // value goes into it, after the values of other forms it leaves out.
    QSet<QString> written;
    QList<RegChange> result;
    for (qsizetype i = state.list.size() - 1; i >= 0; --i) {
        const RegChange& change = state.list[i];
        if (written.contains(placeOf(change)))
            continue;
        written.insert(placeOf(change));
        result.prepend(change);
    }
    std::stable_partition(result.begin(), result.end(),
                          [](const RegChange& change) { return change.kind == Kind::DeleteValues; });
    QList<RegChange> dropped;
    for (const RegChange& change : std::as_const(all.list)) {
        // A list's key belongs to the list, whose entries an additive list keeps.
        const bool listKey = change.kind == Kind::DeleteValues && enabled;
        if (!listKey && !written.contains(placeOf(change)))
            dropped.append(change);
    }
    return dropped + result;
}

QStringList PolicyWriter::writtenAfter(const QList<RegChange>& changes, qsizetype index) {
    QStringList names;
    const RegChange& emptied = changes[index];
    for (qsizetype i = index + 1; i < changes.size(); ++i)
        if (changes[i].kind == Kind::SetValue && changes[i].hive == emptied.hive &&
            changes[i].subKey.compare(emptied.subKey, Qt::CaseInsensitive) == 0)
            names.append(changes[i].name);
    return names;
}

} // namespace tavimor
