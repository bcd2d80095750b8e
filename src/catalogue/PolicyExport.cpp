// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyExport.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/PolicyFiles.h"
#include "registry/MSDNRegistry.h"
#include "registry/regfile/RegPatchImport.h"

#include <QtEndian>
#include <functional>

namespace tavimor {

namespace {

using ValueOf = std::function<std::optional<RegValue>(const CatalogueEntry&, HKEY hive)>;

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
        if (const std::optional<RegValue> value = valueOf(entry, hive))
            patch.setValue(keyPath, name, *value);
        else
            patch.deleteValue(keyPath, name);
    }
    return patch;
}

} // namespace

RegPatch PolicyExport::fromRegistry(RegistryBackend& backend, const XmlDocument& catalogue,
                                    const QStringList& addresses, QStringList* skipped) {
    return patchOf(catalogue, addresses, skipped, [&backend](const CatalogueEntry& entry, HKEY hive) {
        return readRegValue(backend, hive, entry.text("PATH"), entry.text("REGNAME"));
    });
}

RegPatch PolicyExport::fromCatalogue(const XmlDocument& catalogue, const QStringList& addresses,
                                     QStringList* skipped) {
    return patchOf(catalogue, addresses, skipped,
                   [](const CatalogueEntry& entry, HKEY) -> std::optional<RegValue> {
                       const std::optional<quint32> number = configuredValue(entry);
                       if (!number)
                           return std::nullopt;
                       QByteArray bytes(4, '\0');
                       qToLittleEndian(*number, bytes.data());
                       return RegValue{REG_DWORD, bytes};
                   });
}

} // namespace tavimor
