// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateExport.h"

#include "catalogue/TemplateStates.h"
#include "templates/PolicyRegistryView.h"
#include "templates/PolicyWriter.h"

#include <QSet>

namespace tavimor {

namespace {

QString fullKey(const RegChange& change) {
    return KeyStoreBackend::hiveName(change.hive) + QLatin1Char('\\') + change.subKey;
}

using Status = PolicyRegistryView::Status;

} // namespace

void TemplateExport::fromRegistry(RegPatch& patch, RegistryBackend& backend,
                                  const QList<const PolicyInstance*>& policies) {
    BackendPolicyView view(backend);
    for (const PolicyInstance* policy : policies) {
        for (const RegChange& place : PolicyWriter::changes(*policy, {})) {
            const QString key = fullKey(place);
            if (place.kind == RegChange::Kind::DeleteValues) {
                QStringList names;
                if (view.valueNames(place.hive, place.subKey, &names) != Status::Present)
                    continue;
                for (const QString& name : std::as_const(names)) {
                    RegValue value;
                    if (view.value(place.hive, place.subKey, name, &value) == Status::Present)
                        patch.setValue(key, name, value);
                }
                continue;
            }
            RegValue value;
            const Status status = view.value(place.hive, place.subKey, place.name, &value);
            if (status == Status::Present)
                patch.setValue(key, place.name, value);
            else if (status == Status::Absent || status == Status::Deleted)
                patch.deleteValue(key, place.name);
        }
    }
}

void TemplateExport::fromCatalogue(RegPatch& patch, RegistryBackend& backend, const XmlDocument& catalogue,
                                   const QList<const PolicyInstance*>& policies) {
    BackendPolicyView view(backend);
    for (const PolicyInstance* policy : policies) {
        const PolicySetting setting = TemplateStates::settingOf(catalogue, *policy);
        if (setting.state == PolicyState::Other || setting.state == PolicyState::Unread)
            continue;
        const QList<RegChange> changes = PolicyWriter::changes(*policy, setting);
        QSet<QString> set;
        for (const RegChange& change : changes)
            if (change.kind == RegChange::Kind::SetValue)
                set.insert(change.subKey.toLower() + QChar(0) + change.name.toLower());
        for (const RegChange& change : changes) {
            const QString key = fullKey(change);
            if (change.kind == RegChange::Kind::SetValue) {
                patch.setValue(key, change.name, change.value);
            } else if (change.kind == RegChange::Kind::DeleteValue) {
                patch.deleteValue(key, change.name);
            } else if (change.kind == RegChange::Kind::DeleteValues) {
                QStringList names;
                view.valueNames(change.hive, change.subKey, &names);
                for (const QString& name : std::as_const(names))
                    if (!set.contains(change.subKey.toLower() + QChar(0) + name.toLower()))
                        patch.deleteValue(key, name);
            }
        }
    }
}

} // namespace tavimor
