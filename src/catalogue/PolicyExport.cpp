// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyExport.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/PolicyFiles.h"
#include "catalogue/UnreadTally.h"
#include "registry/MSDNRegistry.h"
#include "registry/regfile/RegPatchImport.h"

#include <QtEndian>
#include <functional>

namespace tavimor {

namespace {

// nullopt for a value that is not configured; a value that could not be read is left out.
using ValueOf = std::function<std::optional<std::optional<RegValue>>(const CatalogueEntry&, HKEY hive)>;

// An entry whose KEY names no hive the layer knows cannot be written; it is named in *skipped.
RegPatch patchOf(const XmlDocument& catalogue, const QStringList& addresses, QStringList* skipped,
                 const ValueOf& valueOf) {
    RegPatch patch;
    for (const QString& address : addresses) {
        const CatalogueEntry entry(catalogue.selectSingleNode(address));
        const HKEY hive = GetKeyValue(entry.text("KEY"));
        if (entry.isNull() || hive == 0 || entry.text("PATH").isEmpty()) {
            if (skipped)
                skipped->append(entry.section() + QLatin1Char('/') + entry.text("NAME"));
            continue;
        }
        const QString keyPath = entry.text("KEY") + QLatin1Char('\\') + entry.text("PATH");
        const QString name = entry.text("REGNAME");
        const std::optional<std::optional<RegValue>> value = valueOf(entry, hive);
        if (!value)
            continue;
        if (*value)
            patch.setValue(keyPath, name, **value);
        else
            patch.deleteValue(keyPath, name);
    }
    return patch;
}

} // namespace

RegPatch PolicyExport::fromRegistry(RegistryBackend& backend, const XmlDocument& catalogue,
                                    const QStringList& addresses, QStringList* skipped, UnreadTally* unread) {
    QList<RegKeyName> keys;
    for (const QString& address : addresses) {
        const CatalogueEntry entry(catalogue.selectSingleNode(address));
        keys.append({GetKeyValue(entry.text("KEY")), entry.text("PATH")});
    }
    backend.prepareReads(keys);
    return patchOf(catalogue, addresses, skipped,
                   [&](const CatalogueEntry& entry, HKEY hive) -> std::optional<std::optional<RegValue>> {
                       QString why;
                       std::optional<RegValue> value =
                           readRegValue(backend, hive, entry.text("PATH"), entry.text("REGNAME"), &why);
                       if (why.isEmpty())
                           return value;
                       if (unread)
                           unread->add(entry.text("KEY"), why);
                       return std::nullopt;
                   });
}

RegPatch PolicyExport::fromCatalogue(const XmlDocument& catalogue, const QStringList& addresses,
                                     QStringList* skipped) {
    return patchOf(catalogue, addresses, skipped,
                   [](const CatalogueEntry& entry, HKEY) -> std::optional<std::optional<RegValue>> {
                       // A value the catalogue holds as unknown is neither written nor deleted.
                       if (entry.unreadReason())
                           return std::nullopt;
                       const std::optional<quint32> number = configuredValue(entry);
                       if (!number)
                           return std::optional<RegValue>();
                       QByteArray bytes(4, '\0');
                       qToLittleEndian(*number, bytes.data());
                       return std::optional<RegValue>(RegValue{REG_DWORD, bytes});
                   });
}

} // namespace tavimor
