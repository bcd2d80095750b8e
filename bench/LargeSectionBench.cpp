// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "catalogue/CatalogueFiles.h"
#include "ctl/CtlApp.h"
#include "ctl/CtlEnvironment.h"
#include "registry/RegistryTarget.h"
#include "settings/Cipher.h"
#include "support/LargePolicyCatalogue.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>

using namespace tavimor;

namespace {

// tavimorctl in-process over one section of n entries, loaded from the program folder's default
// settings file, on a registry file holding every third value: a command should cost the same
// per entry at 20,000 as at 100,000.
class LargeSection {
public:
    explicit LargeSection(int entries) {
        QDir().mkpath(m_dir.filePath(QStringLiteral("program")));
        const QString xml = test::largePolicyCatalogue(1, entries);
        const QByteArray rds = CatalogueFiles::encipherSettingsFile(xml, cataloguePassPhrase());
        if (!writeFileAtomically(m_dir.filePath(QStringLiteral("program/tavimor.rds")), rds))
            std::abort();
        // The registry file is written whole: one save per value would take the fixture minutes.
        const QString file = m_dir.filePath(QStringLiteral("registry.reg"));
        m_target = QStringLiteral("file:") + file;
        QString error;
        if (!openRegistryTarget(m_target, &error, TargetUse::MayCreate))
            std::abort();
        std::optional<QByteArray> text = readWholeFile(file, 1 << 20);
        // Every fourth entry of the catalogue is in HKEY_LOCAL_MACHINE.
        for (const bool machine : {false, true}) {
            *text += machine ? "\r\n[HKEY_LOCAL_MACHINE" : "\r\n[HKEY_CURRENT_USER";
            *text += "\\Software\\Policies\\Tavimor\\S0]\r\n";
            for (int e = 0; e < entries; e += 3)
                if ((e % 4 == 0) == machine)
                    *text += QStringLiteral("\"V%1 \u00e9\"=dword:00000001\r\n").arg(e).toLatin1();
        }
        if (!writeFileAtomically(file, *text))
            std::abort();
    }

    // Returns the bytes written to standard output.
    qsizetype run(const QStringList& args) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        CtlEnvironment env(outStream, errStream);
        env.environment = [this](const QString& name) {
            return name == QLatin1String("TAVIMOR_TARGET") ? m_target : QString();
        };
        env.programFolder = m_dir.filePath(QStringLiteral("program"));
        env.settingsFolder = m_dir.filePath(QStringLiteral("settings"));
        qsizetype written = 0;
        env.writeStandardOutput = [&written](const QByteArray& bytes, QString*) {
            written += bytes.size();
            return true;
        };
        if (CtlApp(env).run(args) != 0) {
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(args.join(QLatin1Char(' '))), qPrintable(err));
            std::abort();
        }
        return written + out.size();
    }

private:
    QTemporaryDir m_dir;
    QString m_target;
};

void timeCommand(benchmark::State& state, const QStringList& args) {
    const int entries = int(state.range(0));
    LargeSection section(entries);
    for (auto _ : state) {
        // Each run starts on memory the system has to hand over, as a fresh process does.
        state.PauseTiming();
        malloc_trim(0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(section.run(args));
    }
    state.counters["per_entry"] = benchmark::Counter(entries, benchmark::Counter::kIsIterationInvariantRate |
                                                                  benchmark::Counter::kInvert);
}

void LargeSectionListAll(benchmark::State& state) {
    timeCommand(state, {QStringLiteral("list"), QStringLiteral("--all")});
}
BENCHMARK(LargeSectionListAll)
    ->ArgName("entries")
    ->Arg(20000)
    ->Arg(100000)
    ->MeasureProcessCPUTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void LargeSectionExportReg(benchmark::State& state) {
    timeCommand(state, {QStringLiteral("export-reg"), QStringLiteral("S0"), QStringLiteral("-")});
}
BENCHMARK(LargeSectionExportReg)
    ->ArgName("entries")
    ->Arg(20000)
    ->Arg(100000)
    ->MeasureProcessCPUTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
