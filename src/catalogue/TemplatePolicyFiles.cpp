// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplatePolicyFiles.h"

#include "templates/PolicyWriter.h"

#include <QSet>

namespace tavimor {

namespace {

const QLatin1String kDelete("**del.");
const QLatin1String kDeleteValues("**delvals.");
const QLatin1String kSoft("**soft.");

// A policy file keeps text as UTF-16LE; the registry layer hands it over as 8-bit text.
QByteArray polData(const RegValue& value) {
    if (!isTextType(value.type))
        return value.data;
    QByteArray data;
    data.reserve(value.data.size() * 2);
    for (const char c : value.data)
        data.append(c).append('\0');
    return data;
}

// For text textBeyondLatin1() passed: every high byte is zero.
RegValue ansiValue(const RegValue& stored) {
    if (!isTextType(stored.type))
        return stored;
    QByteArray ansi;
    for (qsizetype i = 0; i + 1 < stored.data.size(); i += 2)
        ansi.append(stored.data[i]);
    return RegValue{stored.type, ansi};
}

QString place(const QString& key, const QString& name) {
    return key.toCaseFolded() + QChar(0) + name.toCaseFolded();
}

// The value a record is about: its name without a "**del." or "**soft." before it.
QString targetOf(const QString& name) {
    for (const QLatin1String prefix : {kDelete, kSoft})
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            return name.mid(prefix.size());
    return name;
}

} // namespace

QList<PolRecord> policyRecords(const RegChange& change) {
    const bool stated = change.mark == RegChange::Mark::Stated;
    switch (change.kind) {
    case RegChange::Kind::SetValue:
        return {{change.subKey, change.mark == RegChange::Mark::Soft ? kSoft + change.name : change.name,
                 change.value.type, polData(change.value)}};
    case RegChange::Kind::DeleteValue:
        return stated ? QList<PolRecord>{PolRecord::deletion(change.subKey, change.name)}
                      : QList<PolRecord>{};
    case RegChange::Kind::DeleteValues:
        if (stated)
            return {{change.subKey, kDeleteValues, REG_SZ, QByteArray(" \0\0\0", 4)}};
        return {};
    case RegChange::Kind::CreateKey:
        break;
    }
    return {};
}

void mergeTemplatePolicies(PolMerge& merge, PolScope scope, const TemplateSet& set,
                           const PolicySettingOf& settingOf) {
    const HKEY hive = scope == PolScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    QSet<QString> places;   // every value a policy of this half may write
    QSet<QString> listKeys; // every key a list of this half owns
    QList<PolRecord> added;
    for (const PolicyInstance& policy : set.policies()) {
        if (policy.hive() != hive)
            continue;
        // A state no file can say (Other, or not read) leaves the policy's records as they are.
        const PolicySetting setting = settingOf(policy);
        if (setting.state == PolicyState::Other || setting.state == PolicyState::Unread)
            continue;
        for (const RegChange& change : PolicyWriter::changes(policy, {})) {
            if (change.kind == RegChange::Kind::DeleteValues)
                listKeys.insert(change.subKey.toCaseFolded());
            else
                places.insert(place(change.subKey, change.name));
        }
        for (const RegChange& change : PolicyWriter::changes(policy, setting))
            added += policyRecords(change);
    }
    const auto owned = [&](const PolRecord& record) {
        return listKeys.contains(record.key.toCaseFolded()) ||
               places.contains(place(record.key, targetOf(record.valueName)));
    };
    merge.file.records.removeIf(owned);
    merge.kept.removeIf(owned);
    // Policies that share a value (a newer one beside the one it replaces) give it once, the last word.
    QSet<QString> seen;
    for (qsizetype i = added.size() - 1; i >= 0; --i)
        if (seen.contains(place(added[i].key, added[i].valueName)))
            added.removeAt(i);
        else
            seen.insert(place(added[i].key, added[i].valueName));
    merge.file.records += added;
}

TemplatePlaces::TemplatePlaces(const TemplateSet& set, PolScope scope) {
    const HKEY hive = scope == PolScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    for (const PolicyInstance& policy : set.policies()) {
        if (policy.hive() != hive)
            continue;
        for (const RegChange& change : PolicyWriter::changes(policy, {})) {
            if (change.kind == RegChange::Kind::DeleteValues)
                m_listKeys.insert(change.subKey.toCaseFolded());
            else
                m_places.insert(place(change.subKey, change.name));
        }
    }
}

bool TemplatePlaces::owns(const PolRecord& record) const {
    return m_listKeys.contains(record.key.toCaseFolded()) ||
           m_places.contains(place(record.key, targetOf(record.valueName)));
}

PolRecordView::PolRecordView(const std::array<PolFile, 2>& files) {
    for (qsizetype half = 0; half < 2; ++half) {
        for (const PolRecord& record : files[half].records) {
            Key& key = m_keys[half][record.key.toCaseFolded()];
            if (record.valueName.compare(kDeleteValues, Qt::CaseInsensitive) == 0) {
                for (auto& value : key.values)
                    value.reset();
                key.cleared = true;
                continue;
            }
            const QString name = targetOf(record.valueName);
            const QString id = name.toCaseFolded();
            if (!key.values.contains(id))
                key.order.append(name);
            if (record.isDeletion())
                key.values.insert(id, std::nullopt);
            else
                key.values.insert(id, RegValue{record.type, record.data});
            key.cleared = key.cleared && record.isDeletion();
        }
    }
}

PolicyRegistryView::Status PolRecordView::value(HKEY hive, const QString& key, const QString& name,
                                                RegValue* value) {
    const auto& keys =
        m_keys[hive == HKEY_CURRENT_USER ? polIndex(PolScope::User) : polIndex(PolScope::Machine)];
    const auto found = keys.constFind(key.toCaseFolded());
    if (found == keys.cend())
        return Status::Absent;
    const auto held = found->values.constFind(name.toCaseFolded());
    if (held == found->values.cend())
        return found->cleared ? Status::Deleted : Status::Absent;
    if (!*held)
        return Status::Deleted;
    if (textBeyondLatin1(**held)) {
        m_reason = textBeyondLatin1Reason(key + QLatin1Char('\\') + name);
        return Status::Unread;
    }
    *value = ansiValue(**held);
    return Status::Present;
}

PolicyRegistryView::Status PolRecordView::valueNames(HKEY hive, const QString& key, QStringList* names) {
    names->clear();
    const auto& keys =
        m_keys[hive == HKEY_CURRENT_USER ? polIndex(PolScope::User) : polIndex(PolScope::Machine)];
    const auto found = keys.constFind(key.toCaseFolded());
    if (found == keys.cend())
        return Status::Absent;
    for (const QString& name : found->order)
        if (found->values.value(name.toCaseFolded()))
            names->append(name);
    return names->isEmpty() && found->cleared ? Status::Deleted : Status::Present;
}

} // namespace tavimor
