// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FixedPrompter.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "registry/MemoryBackend.h"
#include "registry/wine/WinePrefixBackend.h"
#include "registry/wine/WineRegTool.h"
#include "settings/SettingsStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tavimor;

namespace {

// The values a refresh of the built-in catalogue reads, in order.
class ReadRecorder : public MemoryBackend {
public:
    QList<std::pair<QString, QString>> reads;

protected:
    // Every key is there, so that every value is asked for.
    long storeKeyExists(const QString&, bool* exists) override {
        *exists = true;
        return ERROR_SUCCESS;
    }
    long storeReadValue(const QString& path, const QString& name, RegValue* value) override {
        reads.append({path, name});
        return MemoryBackend::storeReadValue(path, name, value);
    }
};

// One fresh prefix for the run; empty when Wine is missing.
QString freshPrefix() {
    static QTemporaryDir dir;
    static const QString prefix = [] {
        if (WineRegTool::wineProgram().isEmpty())
            return QString();
        const QString path = dir.filePath(QStringLiteral("prefix"));
        qputenv("WINEPREFIX", QFile::encodeName(path));
        qputenv("WINEDEBUG", "-all");
        qputenv("DISPLAY", "");
        qputenv("WINEDLLOVERRIDES", "mscoree,mshtml=");
        const QString wine = WineRegTool::wineProgram();
        if (QProcess::execute(wine, {QStringLiteral("wineboot"), QStringLiteral("--init")}) != 0)
            return QString();
        return path;
    }();
    return prefix;
}

void waitForWineserver() {
    QProcess::execute(QStringLiteral("wineserver"), {QStringLiteral("-w")});
}

struct Refresher {
    explicit Refresher(RegistryBackend& backend)
        : settings(dir.filePath(QStringLiteral("settings")))
        , context(backend, prompter, settings, errors, dir.path()) {
        Main(context);
        context.workingCatalogue.loadXML(builtinCatalogueText().toUtf8());
        context.machineCatalogue.copyFrom(context.workingCatalogue);
    }
    void refresh() { RefreshCurrentValues(context, QLatin1String(kAllEntries)); }

    QTemporaryDir dir;
    FixedPrompter prompter{Answer::No};
    SilentErrorHandler errors;
    SettingsStore settings;
    ProgramContext context;
};

void WineRefreshThroughFiles(benchmark::State& state) {
    const QString prefix = freshPrefix();
    if (prefix.isEmpty()) {
        state.SkipWithError("Wine is not installed");
        return;
    }
    waitForWineserver();
    QString error;
    auto backend = WinePrefixBackend::open(prefix, &error);
    if (!backend || backend->serverRunning()) {
        state.SkipWithError("the prefix cannot be opened or a wineserver holds it");
        return;
    }
    Refresher refresher(*backend);
    for (auto _ : state)
        refresher.refresh();
}
BENCHMARK(WineRefreshThroughFiles)->Unit(benchmark::kMillisecond);

// Reading both registry files of a fresh prefix, as opening the target does.
void WineOpenPrefix(benchmark::State& state) {
    const QString prefix = freshPrefix();
    if (prefix.isEmpty()) {
        state.SkipWithError("Wine is not installed");
        return;
    }
    waitForWineserver();
    for (auto _ : state) {
        QString error;
        benchmark::DoNotOptimize(WinePrefixBackend::open(prefix, &error));
    }
}
BENCHMARK(WineOpenPrefix)->Unit(benchmark::kMillisecond);

// Starts a server that stays five seconds after its last client, and runs Wine once in it: the
// first Wine process after a server starts also starts Wine's own services, which is not timed.
bool startWarmServer() {
    QProcess::execute(QStringLiteral("wineserver"), {QStringLiteral("-p5")});
    QProcess wine;
    wine.setStandardOutputFile(QProcess::nullDevice());
    wine.start(WineRegTool::wineProgram(),
               {QStringLiteral("reg"), QStringLiteral("query"), QStringLiteral("HKCU\\Software")});
    return wine.waitForFinished(60000) && wine.exitCode() == 0;
}

// The same refresh while a wineserver holds the prefix, by a backend opened afresh each time.
void WineRefreshWhileServerRuns(benchmark::State& state) {
    const QString prefix = freshPrefix();
    if (prefix.isEmpty() || !startWarmServer()) {
        state.SkipWithError("Wine is not installed or no wineserver could be started");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        QString error;
        auto backend = WinePrefixBackend::open(prefix, &error);
        if (!backend || !backend->serverRunning()) {
            state.SkipWithError("the prefix cannot be opened or no wineserver holds it");
            break;
        }
        Refresher refresher(*backend);
        state.ResumeTiming();
        refresher.refresh();
    }
    waitForWineserver();
}
BENCHMARK(WineRefreshWhileServerRuns)->Unit(benchmark::kMillisecond)->Iterations(5);

// tavimorctl as a user runs it, the whole process, on the fresh prefix; false when it failed.
bool runCtl(const QStringList& arguments) {
    static QTemporaryDir settings;
    QProcess process;
    process.start(QStringLiteral(TAVIMOR_PROGRAM_DIR "/tavimorctl"),
                  QStringList{QStringLiteral("--settings-folder"), settings.path(),
                              QStringLiteral("--target"), QStringLiteral("wine:") + freshPrefix()} +
                      arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The fresh prefix with a warm server (range 1) or none (range 0); false after telling state why not.
bool readyPrefix(benchmark::State& state) {
    if (freshPrefix().isEmpty()) {
        state.SkipWithError("Wine is not installed");
        return false;
    }
    const bool server = state.range(0) == 1;
    if (server ? !startWarmServer() : (waitForWineserver(), false)) {
        state.SkipWithError("no wineserver could be started");
        return false;
    }
    return true;
}

// "tavimorctl list SECTION" without a server (0) and while one runs (1).
void WineListWholeProcess(benchmark::State& state) {
    if (!readyPrefix(state))
        return;
    for (auto _ : state)
        if (!runCtl({QStringLiteral("list"), QStringLiteral("Start Menu")}))
            state.SkipWithError("tavimorctl list failed");
    waitForWineserver();
}
BENCHMARK(WineListWholeProcess)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// "tavimorctl set ENTRY VALUE", changing the value each time, without a server (0) and while one runs (1).
void WineSetWholeProcess(benchmark::State& state) {
    if (!readyPrefix(state))
        return;
    int value = 0;
    for (auto _ : state)
        if (!runCtl({QStringLiteral("set"), QStringLiteral("Start Menu/Run Dialog"),
                     QString::number(value ^= 1)}))
            state.SkipWithError("tavimorctl set failed");
    waitForWineserver();
}
BENCHMARK(WineSetWholeProcess)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// What a refresh costs when every value is asked of Wine's own reg program.
void WineRefreshThroughRegQuery(benchmark::State& state) {
    const QString prefix = freshPrefix();
    if (prefix.isEmpty()) {
        state.SkipWithError("Wine is not installed");
        return;
    }
    ReadRecorder recorder;
    Refresher(recorder).refresh();
    const QString wine = WineRegTool::wineProgram();
    for (auto _ : state) {
        for (const auto& [path, name] : std::as_const(recorder.reads)) {
            QProcess process;
            process.start(wine,
                          {QStringLiteral("reg"), QStringLiteral("query"), path, QStringLiteral("/v"), name});
            process.waitForFinished(60000);
        }
    }
    state.counters["queries"] = double(recorder.reads.size());
}
BENCHMARK(WineRefreshThroughRegQuery)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

// The anchor: one "wine reg export" of the policies tree while a server runs.
void WineRegExportOfPolicies(benchmark::State& state) {
    const QString prefix = freshPrefix();
    if (prefix.isEmpty()) {
        state.SkipWithError("Wine is not installed");
        return;
    }
    QProcess::execute(QStringLiteral("wineserver"), {QStringLiteral("-p5")});
    QTemporaryDir dir;
    const QString wine = WineRegTool::wineProgram();
    for (auto _ : state) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(wine, {QStringLiteral("reg"), QStringLiteral("export"),
                             QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies"),
                             QStringLiteral("policies.reg"), QStringLiteral("/y")});
        process.waitForFinished(60000);
    }
    waitForWineserver();
}
BENCHMARK(WineRegExportOfPolicies)->Unit(benchmark::kMillisecond)->Iterations(3);
