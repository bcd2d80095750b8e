// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FixedPrompter.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tavimor;

namespace {

// NTUSER.DAT and SOFTWARE copies of the minimal test hive holding all 57 catalogue values.
QString filledHives() {
    static QTemporaryDir dir;
    static const QString target = [] {
        const QString user = dir.filePath(QStringLiteral("NTUSER.DAT"));
        const QString software = dir.filePath(QStringLiteral("SOFTWARE"));
        for (const QString& path : {user, software}) {
            if (!QFile::copy(QStringLiteral(TAVIMOR_TEST_DATA "/minimal.hiv"), path))
                return QString();
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        const QString name = QStringLiteral("hive:%1,%2").arg(user, software);
        QString error;
        std::unique_ptr<RegistryBackend> backend = openRegistryTarget(name, &error);
        if (!backend)
            return QString();
        MSDNRegistry registry(*backend);
        XmlDocument catalogue;
        catalogue.loadXML(builtinCatalogueText());
        forEachEntry(catalogue, [&](const CatalogueEntry& entry, int, int) {
            const HKEY hive = GetKeyValue(entry.text("KEY"));
            registry.CreateRegKey(entry.text("PATH"), hive);
            registry.SaveKeyValue(hive, entry.text("PATH"), entry.text("REGNAME"), RegDatum::integer(1),
                                  REG_DWORD);
        });
        return name;
    }();
    return target;
}

void HiveRefresh(benchmark::State& state) {
    const QString target = filledHives();
    QString error;
    std::unique_ptr<RegistryBackend> backend =
        target.isEmpty() ? nullptr : openRegistryTarget(target, &error);
    if (!backend) {
        state.SkipWithError("the hives could not be made");
        return;
    }
    QTemporaryDir dir;
    FixedPrompter prompter(Answer::No);
    SilentErrorHandler errors;
    SettingsStore settings(dir.filePath(QStringLiteral("settings")));
    ProgramContext context(*backend, prompter, settings, errors, dir.path());
    Main(context);
    context.workingCatalogue.loadXML(builtinCatalogueText().toUtf8());
    context.machineCatalogue.copyFrom(context.workingCatalogue);
    for (auto _ : state)
        RefreshCurrentValues(context, QLatin1String(kAllEntries));
}
BENCHMARK(HiveRefresh)->Unit(benchmark::kMillisecond);

// Opening the target: both hives mapped and checked for pending logs.
void HiveOpen(benchmark::State& state) {
    const QString target = filledHives();
    for (auto _ : state) {
        QString error;
        benchmark::DoNotOptimize(openRegistryTarget(target, &error));
    }
}
BENCHMARK(HiveOpen)->Unit(benchmark::kMillisecond);

} // namespace
