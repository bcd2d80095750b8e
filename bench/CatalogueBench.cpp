// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "base/FixedPrompter.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "registry/MemoryBackend.h"
#include "registry/regfile/RegFileBackend.h"
#include "settings/Cipher.h"
#include "settings/SettingsStore.h"
#include "xml/XmlTree.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace tavimor;

namespace {

constexpr int kLargeSections = 20;
constexpr int kLargeEntriesPerSection = 500;

QString largePath(int s) {
    return QStringLiteral("Software\\Policies\\Tavimor\\Bench\\Section%1").arg(s);
}

// A catalogue shaped like the built-in one: Boolean entries with descriptions and screenshots.
QByteArray largeCatalogue() {
    QByteArray xml = "<?xml version=\"1.0\"?>\r\n<TAVIMOR SystemName=\"\">\r\n";
    xml.reserve(6 * 1024 * 1024);
    for (int s = 0; s < kLargeSections; ++s) {
        xml += QStringLiteral("\t<REGISTRYSETTINGS Section=\"Section %1\">\r\n").arg(s).toUtf8();
        for (int e = 0; e < kLargeEntriesPerSection; ++e) {
            xml += QStringLiteral(
                       "\t\t<ENTRY Restart=\"%1\">\r\n"
                       "\t\t\t<NAME><![CDATA[Restriction %2.%3]]></NAME>\r\n"
                       "\t\t\t<DESCRIPTION><![CDATA[Prevents users from reaching feature %2.%3 of the "
                       "system; the administrator switches it on and off here.]]></DESCRIPTION>\r\n"
                       "\t\t\t<KEY>HKEY_CURRENT_USER</KEY>\r\n\t\t\t<PATH>%4</PATH>\r\n"
                       "\t\t\t<REGNAME>Value%3</REGNAME>\r\n"
                       "\t\t\t<VALUES Datatype=\"Boolean\">\r\n\t\t\t\t<VALUE>0</VALUE>\r\n"
                       "\t\t\t\t<VALUE>1</VALUE>\r\n\t\t\t\t<DEFAULTVALUE>0</DEFAULTVALUE>\r\n"
                       "\t\t\t\t<CURRENTVALUE>0</CURRENTVALUE>\r\n\t\t\t</VALUES>\r\n"
                       "\t\t\t<IMAGE>\\Resources\\B%2_%3.rdi</IMAGE>\r\n\t\t</ENTRY>\r\n")
                       .arg(e % 3 == 0 ? QStringLiteral("Yes") : QStringLiteral("No"))
                       .arg(s)
                       .arg(e)
                       .arg(largePath(s))
                       .toUtf8();
        }
        xml += "\t</REGISTRYSETTINGS>\r\n";
    }
    return xml + "</TAVIMOR>";
}

// One program context over a chosen registry; every third value is set in the registry.
struct Fixture {
    explicit Fixture(bool embeddedFile, bool large) {
        if (embeddedFile) {
            QString error;
            backend = RegFileBackend::open(dir.filePath(QStringLiteral("registry.reg")),
                                           QStringLiteral("BENCH"), &error);
            if (!backend) {
                std::fprintf(stderr, "cannot open the registry file: %s\n", qPrintable(error));
                std::abort();
            }
        } else {
            backend = std::make_unique<MemoryBackend>();
        }
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings")));
        context = std::make_unique<ProgramContext>(*backend, prompter, *settings, errors, dir.path());
        Main(*context);
        MSDNRegistry& registry = context->registry;
        if (large) {
            for (int s = 0; s < kLargeSections; ++s) {
                registry.CreateRegKey(largePath(s), HKEY_CURRENT_USER);
                for (int e = 0; e < kLargeEntriesPerSection; e += 3)
                    registry.SaveKeyValue(HKEY_CURRENT_USER, largePath(s), QStringLiteral("Value%1").arg(e),
                                          RegDatum::integer(1), REG_DWORD);
            }
        } else {
            const QString explorer =
                QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
            registry.CreateRegKey(explorer, HKEY_CURRENT_USER);
            registry.SaveKeyValue(HKEY_CURRENT_USER, explorer, QStringLiteral("NoRun"), RegDatum::integer(1),
                                  REG_DWORD);
        }
        catalogue = large ? largeCatalogue() : builtinCatalogueText().toUtf8();
    }

    // As a first load does: one parse, then the machine catalogue as a copy.
    void load() {
        context->workingCatalogue.loadXML(catalogue);
        context->machineCatalogue.copyFrom(context->workingCatalogue);
    }

    QTemporaryDir dir;
    FixedPrompter prompter{Answer::No};
    SilentErrorHandler errors;
    std::unique_ptr<RegistryBackend> backend;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<ProgramContext> context;
    QByteArray catalogue;
};

void BuiltinLoadAndRefresh(benchmark::State& state) {
    Fixture f(state.range(0) == 1, false);
    for (auto _ : state) {
        f.load();
        RefreshCurrentValues(*f.context, QLatin1String(kAllEntries));
    }
}
BENCHMARK(BuiltinLoadAndRefresh)->ArgName("embeddedFile")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BuiltinRefresh(benchmark::State& state) {
    Fixture f(state.range(0) == 1, false);
    f.load();
    for (auto _ : state)
        RefreshCurrentValues(*f.context, QLatin1String(kAllEntries));
}
BENCHMARK(BuiltinRefresh)->ArgName("embeddedFile")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Equal catalogues are the costly case: every node is compared before the answer is known.
void PendingChangesCheck(benchmark::State& state) {
    Fixture f(false, state.range(0) == 1);
    f.load();
    RefreshCurrentValues(*f.context, QLatin1String(kAllEntries));
    f.context->workingCatalogue.copyFrom(f.context->machineCatalogue);
    for (auto _ : state)
        benchmark::DoNotOptimize(ConfirmPendingChanges(*f.context));
}
BENCHMARK(PendingChangesCheck)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void LargeLoad(benchmark::State& state) {
    Fixture f(false, true);
    for (auto _ : state)
        f.load();
}
BENCHMARK(LargeLoad)->Unit(benchmark::kMillisecond);

void LargeRefresh(benchmark::State& state) {
    Fixture f(state.range(0) == 1, true);
    f.load();
    for (auto _ : state)
        RefreshCurrentValues(*f.context, QLatin1String(kAllEntries));
}
BENCHMARK(LargeRefresh)->ArgName("embeddedFile")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void LargeListEverySection(benchmark::State& state) {
    Fixture f(false, true);
    f.load();
    RefreshCurrentValues(*f.context, QLatin1String(kAllEntries));
    for (auto _ : state) {
        qsizetype rows = 0;
        for (const SectionInfo& section : catalogueSections(*f.context))
            rows += listRows(*f.context, section.address).size();
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(LargeListEverySection)->Unit(benchmark::kMillisecond);

void LargeSaveRds(benchmark::State& state) {
    Fixture f(false, true);
    f.load();
    CatalogueView view;
    CatalogueFiles files(*f.context, view);
    const QString path = f.dir.filePath(QStringLiteral("large.rds"));
    for (auto _ : state)
        benchmark::DoNotOptimize(files.WriteSettingsFile(path));
}
BENCHMARK(LargeSaveRds)->Unit(benchmark::kMillisecond);

void LargeOpenRds(benchmark::State& state) {
    Fixture f(false, true);
    f.load();
    CatalogueView view;
    CatalogueFiles files(*f.context, view);
    const QString path = f.dir.filePath(QStringLiteral("large.rds"));
    if (!files.WriteSettingsFile(path))
        std::abort();
    for (auto _ : state) {
        QString name = path;
        benchmark::DoNotOptimize(files.LoadSettingsFile(name));
    }
}
BENCHMARK(LargeOpenRds)->Unit(benchmark::kMillisecond);

// One element with n attributes: beyond the limit the text is refused before libxml2 parses it
// (200,000 took over two minutes when it was not).
QByteArray crowdedElement(int attributes, int elements = 1) {
    QByteArray xml = "<TAVIMOR>";
    for (int e = 0; e < elements; ++e) {
        xml += "<ENTRY";
        for (int i = 0; i < attributes; ++i)
            xml += " a" + QByteArray::number(i) + "=\"\"";
        xml += "/>";
    }
    return xml + "</TAVIMOR>";
}

void CrowdedElementLoad(benchmark::State& state) {
    const QByteArray text = crowdedElement(int(state.range(0)));
    XmlDocument document;
    for (auto _ : state)
        benchmark::DoNotOptimize(document.loadXML(text));
    state.counters["loaded"] = document.isEmpty() ? 0 : 1;
}
BENCHMARK(CrowdedElementLoad)->ArgName("attributes")->Arg(64)->Arg(200000)->Unit(benchmark::kMillisecond);

// The worst the limit allows: a settings file's worth (64 MiB) of elements at the limit.
void CrowdedDocumentLoad(benchmark::State& state) {
    const QByteArray text = crowdedElement(int(kMaxAttributes), 64 * 1024 * 1024 / 448);
    XmlDocument document;
    for (auto _ : state)
        benchmark::DoNotOptimize(document.loadXML(text));
    state.counters["MiB"] = double(text.size()) / (1024 * 1024);
}
BENCHMARK(CrowdedDocumentLoad)->Unit(benchmark::kMillisecond)->Iterations(1);

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// What the process holds now, from the kernel's own count.
long residentKb() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The whole large workflow once, for the peak memory it needs.
int peakMemory(bool verbose) {
    auto step = [verbose](const char* what) {
        if (verbose)
            std::printf("  after %-28s peak %6.1f MB, now %6.1f MB\n", what, double(peakKb()) / 1024.0,
                        double(residentKb()) / 1024.0);
    };
    step("start");
    {
        Fixture f(true, true);
        step("registry and text");
        f.load();
        f.catalogue = QByteArray(); // the program keeps no copy of a text it has loaded
        step("load");
        RefreshCurrentValues(*f.context, QLatin1String(kAllEntries));
        step("refresh");
        for (const SectionInfo& section : catalogueSections(*f.context))
            listRows(*f.context, section.address);
        step("list");
        ConfirmPendingChanges(*f.context);
        step("pending check");
        CatalogueView view;
        CatalogueFiles files(*f.context, view);
        QString path = f.dir.filePath(QStringLiteral("large.rds"));
        files.WriteSettingsFile(path);
        step("save .rds");
        files.LoadSettingsFile(path);
        step("open .rds");
    }
    std::printf("peak memory of the 10,000-entry workflow (embedded file registry): %.1f MB\n",
                double(peakKb()) / 1024.0);
    return 0;
}

} // namespace

// In TemplateBench.cpp.
int templateMemory();

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--peak-memory") == 0)
            return peakMemory(i + 1 < argc && std::strcmp(argv[i + 1], "-v") == 0);
        if (std::strcmp(argv[i], "--template-memory") == 0)
            return templateMemory();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
