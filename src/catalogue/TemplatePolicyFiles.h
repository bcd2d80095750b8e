// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/PolicyFiles.h"
#include "templates/PolicyRegistryView.h"
#include "templates/PolicySetting.h"

#include <QSet>
#include <functional>

namespace tavimor {

// Template policies in Group Policy files. A policy's records are what writing its state to a
// registry would change, as a policy file keeps them: a value as its record (string data in
// UTF-16LE, "**soft.NAME" for a soft value), a stated deletion as "**del.NAME", an emptied list key
// as "**delvals.". Writing a policy first drops every record of the places it may write, so a policy
// not configured leaves no record and a changed one no stale record.
using PolicySettingOf = std::function<PolicySetting(const PolicyInstance&)>;
void mergeTemplatePolicies(PolMerge& merge, PolScope scope, const TemplateSet& set,
                           const PolicySettingOf& settingOf);

// The places the policies of one half of a folder may write: a record there belongs to a template
// policy, not to no one.
class TemplatePlaces {
public:
    TemplatePlaces(const TemplateSet& set, PolScope scope);
    bool owns(const PolRecord& record) const;

private:
    QSet<QString> m_places;
    QSet<QString> m_listKeys;
};

// The records one change becomes in a policy file; none for an unmarked deletion.
QList<PolRecord> policyRecords(const RegChange& change);

// The two files of a Group Policy folder as a registry to read policies from: what the records set
// is present, what they delete is deleted, in the order a client applies them. Text the registry
// layer's 8-bit form cannot carry is unread.
class PolRecordView : public PolicyRegistryView {
public:
    explicit PolRecordView(const std::array<PolFile, 2>& files);
    Status value(HKEY hive, const QString& key, const QString& name, RegValue* value) override;
    Status valueNames(HKEY hive, const QString& key, QStringList* names) override;
    QString unreadReason() const override { return m_reason; }

private:
    struct Key {
        bool cleared = false;                           // a "**delvals." came last for the key
        QHash<QString, std::optional<RegValue>> values; // by lower-case name, as stored; nullopt: deleted
        QStringList order;                              // names as first set
    };
    std::array<QHash<QString, Key>, 2> m_keys; // by scope and lower-case key
    QString m_reason;
};

} // namespace tavimor
