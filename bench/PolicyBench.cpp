// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/CatalogueEntry.h"
#include "catalogue/PolicyFiles.h"
#include "grouppolicy/PolicyCommit.h"
#include "grouppolicy/PolicyFolder.h"
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "support/LargePolicyCatalogue.h"
#include "xml/XmlDocument.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace tavimor;

namespace {

// What export-pol does once the catalogue is loaded: read both files there, merge, lay out, check
// the layout reads back, write both atomically.
void exportPolicy(const QList<PolicyValue>& values, const PolicyFolder& folder) {
    std::array<PolFile, 2> existing;
    if (!folder.read(existing, nullptr))
        std::abort();
    PolicyCommit commit(folder, GptUpdate::None);
    for (const PolScope scope : kPolScopes) {
        const PolMerge merge = mergePolicy(existing[polIndex(scope)], scope, values, true);
        const QByteArray bytes = merge.file.serialize();
        const std::optional<PolFile> again = PolFile::parse(bytes);
        if (!again || again->records != merge.file.records)
            std::abort();
        commit.setFile(scope, bytes);
    }
    QString error;
    if (!commit.prepare(std::nullopt, &error) || !commit.write(&error))
        std::abort();
}

// 10,000 entries, values from the catalogue as export-pol --from FILE.rds takes them.
void LargeExportPolFromCatalogue(benchmark::State& state) {
    XmlDocument catalogue;
    catalogue.loadXML(test::largePolicyCatalogue());
    QTemporaryDir dir;
    const PolicyFolder folder(dir.path());
    for (auto _ : state)
        exportPolicy(catalogueValues(catalogue, configuredValue), folder);
}
BENCHMARK(LargeExportPolFromCatalogue)->Unit(benchmark::kMillisecond);

// The same with every value read from the registry, as export-pol without --from does.
void LargeExportPolFromRegistry(benchmark::State& state) {
    XmlDocument catalogue;
    catalogue.loadXML(test::largePolicyCatalogue());
    MemoryBackend backend;
    MSDNRegistry registry(backend);
    for (const PolicyValue& value : catalogueValues(catalogue, configuredValue)) {
        const HKEY hive = value.scope == PolScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        registry.CreateRegKey(value.key, hive);
        if (value.value)
            registry.SaveKeyValue(hive, value.key, value.name, RegDatum::integer(qint32(*value.value)),
                                  REG_DWORD);
    }
    QTemporaryDir dir;
    const PolicyFolder folder(dir.path());
    for (auto _ : state) {
        const QList<PolicyValue> values = catalogueValues(
            catalogue, [&](const CatalogueEntry& entry) { return registryValue(registry, entry); });
        exportPolicy(values, folder);
    }
}
BENCHMARK(LargeExportPolFromRegistry)->Unit(benchmark::kMillisecond);

} // namespace
