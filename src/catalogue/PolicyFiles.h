// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "grouppolicy/PolicyFolder.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tavimor {

class CatalogueEntry;
class MSDNRegistry;
class XmlDocument;

// One catalogue value as a policy file holds it.
struct PolicyValue {
    PolScope scope = PolScope::User;
    QString key;
    QString name;
    std::optional<quint32> value; // nullopt: not configured
};

// One value per entry whose KEY is HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, in document order;
// valueOf gives each entry's value.
using EntryValue = std::function<std::optional<quint32>(const CatalogueEntry&)>;
QList<PolicyValue> catalogueValues(const XmlDocument& catalogue, const EntryValue& valueOf);
// The entry's CURRENTVALUE as the program writes it, REG_DWORD; nullopt when it is no number.
std::optional<quint32> configuredValue(const CatalogueEntry& entry);
// The entry's value in the registry now; nullopt when the registry holds no number there, or when it
// could not be read: then *unread (when given) says why.
std::optional<quint32> registryValue(MSDNRegistry& registry, const CatalogueEntry& entry,
                                     QString* unread = nullptr);

// The file rewritten with one scope's values: a record the catalogue knows is replaced where it
// stood (or dropped when not configured), the others are kept in order, new values follow.
struct PolMerge {
    PolFile file;
    QList<PolRecord> kept; // records the catalogue does not know
};
PolMerge mergePolicy(const PolFile& existing, PolScope scope, const QList<PolicyValue>& values,
                     bool deleteUnset);

// What a policy file means to a catalogue.
struct PolImport {
    QStringList setAddresses;   // entries whose CURRENTVALUE the file set
    QList<PolRecord> unknown;   // records for values the catalogue does not know
    QList<PolRecord> deletions; // deletions of values the catalogue knows: left as they are
    QList<PolRecord> unusable;  // known values in another form than a 4-byte REG_DWORD
};
// Sets CURRENTVALUE of every entry the file gives a REG_DWORD for; the last record wins. known,
// when given, tells records read elsewhere (template policies) from unknown ones.
void importPolicy(XmlDocument& catalogue, PolScope scope, const PolFile& file, PolImport& result,
                  const std::function<bool(const PolRecord&)>& known = {});

// "HKEY_CURRENT_USER\Key\Name" for reports.
QString recordTitle(PolScope scope, const PolRecord& record);

} // namespace tavimor
