// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "base/FixedPrompter.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplateStates.h"
#include "registry/regfile/RegFileBackend.h"
#include "settings/SettingsStore.h"
#include "templates/PolicyWriter.h"
#include "templates/TemplateFolders.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

using namespace tavimor;

namespace {

constexpr int kFiles = 200;
constexpr int kPoliciesPerFile = 25;

const QString kFirefox = QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox");
const QString kSamba = QStringLiteral("/usr/share/samba/admx");

// One file of a set shaped like Windows' own: most policies one value with an enabled and a
// disabled value, the others with elements of every kind, each with an explain text of a few
// hundred characters and a presentation in the ADML.
std::pair<QByteArray, QByteArray> generatedFile(int f) {
    QByteArray admx = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<policyDefinitions "
                      "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\" "
                      "revision=\"1.0\" schemaVersion=\"1.0\">\r\n  <policyNamespaces>\r\n";
    admx += QStringLiteral(
                "    <target prefix=\"gen%1\" namespace=\"Tavimor.Generated.File%1\" />\r\n"
                "    <using prefix=\"windows\" namespace=\"Microsoft.Policies.Windows\" />\r\n"
                "  </policyNamespaces>\r\n  <resources minRequiredRevision=\"1.0\" />\r\n"
                "  <categories>\r\n    <category name=\"Cat%1\" displayName=\"$(string.Cat%1)\">\r\n"
                "      <parentCategory ref=\"windows:System\" />\r\n    </category>\r\n  </categories>\r\n"
                "  <policies>\r\n")
                .arg(f)
                .toUtf8();
    QByteArray strings =
        QStringLiteral("      <string id=\"Cat%1\">Generated category %1</string>\r\n").arg(f).toUtf8();
    QByteArray presentations;
    for (int p = 0; p < kPoliciesPerFile; ++p) {
        const QString id = QStringLiteral("Policy%1_%2").arg(f).arg(p);
        const QString key = QStringLiteral("Software\\Policies\\Tavimor\\Generated\\File%1").arg(f);
        const bool elements = p % 10 >= 7;
        admx +=
            QStringLiteral("    <policy name=\"%1\" class=\"%2\" displayName=\"$(string.%1)\" "
                           "explainText=\"$(string.%1_Help)\"%3 key=\"%4\"%5>\r\n"
                           "      <parentCategory ref=\"Cat%6\" />\r\n"
                           "      <supportedOn ref=\"windows:SUPPORTED_Windows7\" />\r\n")
                .arg(id,
                     p % 3 == 0   ? QStringLiteral("Both")
                     : p % 3 == 1 ? QStringLiteral("Machine")
                                  : QStringLiteral("User"),
                     elements ? QStringLiteral(" presentation=\"$(presentation.%1)\"").arg(id) : QString(),
                     key, elements ? QString() : QStringLiteral(" valueName=\"Value%1\"").arg(p))
                .arg(f)
                .toUtf8();
        if (elements) {
            admx += QStringLiteral("      <elements>\r\n"
                                   "        <decimal id=\"Count\" valueName=\"Count%1\" minValue=\"1\" "
                                   "maxValue=\"500\" />\r\n"
                                   "        <enum id=\"Mode\" valueName=\"Mode%1\">\r\n"
                                   "          <item displayName=\"$(string.ModeOff)\"><value><decimal "
                                   "value=\"0\" /></value></item>\r\n"
                                   "          <item displayName=\"$(string.ModeOn)\"><value><decimal "
                                   "value=\"1\" /></value></item>\r\n"
                                   "        </enum>\r\n"
                                   "        <text id=\"Name\" valueName=\"Name%1\" maxLength=\"200\" />\r\n"
                                   "        <list id=\"Items\" key=\"%2\\Items%1\" valuePrefix=\"\" />\r\n"
                                   "      </elements>\r\n")
                        .arg(p)
                        .arg(key)
                        .toUtf8();
            presentations +=
                QStringLiteral(
                    "      <presentation id=\"%1\">\r\n"
                    "        <decimalTextBox refId=\"Count\" defaultValue=\"10\">Count</decimalTextBox>\r\n"
                    "        <dropdownList refId=\"Mode\" defaultItem=\"0\">Mode</dropdownList>\r\n"
                    "        <textBox refId=\"Name\"><label>Name</label></textBox>\r\n"
                    "        <listBox refId=\"Items\">Items</listBox>\r\n"
                    "      </presentation>\r\n")
                    .arg(id)
                    .toUtf8();
        } else {
            admx += "      <enabledValue><decimal value=\"1\" /></enabledValue>\r\n"
                    "      <disabledValue><decimal value=\"0\" /></disabledValue>\r\n";
        }
        admx += "    </policy>\r\n";
        strings +=
            QStringLiteral(
                "      <string id=\"%1\">Generated policy %2 of file %3</string>\r\n"
                "      <string id=\"%1_Help\">This policy setting controls generated feature %2 of "
                "file %3.\r\n\r\nIf you enable this policy setting, the feature is turned on for "
                "every user of the computer and users cannot change it.\r\n\r\nIf you disable this "
                "policy setting, the feature is turned off and users cannot turn it on.\r\n\r\nIf you "
                "do not configure this policy setting, users choose whether to use the feature.</string>\r\n")
                .arg(id)
                .arg(p)
                .arg(f)
                .toUtf8();
    }
    admx += "  </policies>\r\n</policyDefinitions>\r\n";
    const QByteArray adml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<policyDefinitionResources "
        "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\" "
        "revision=\"1.0\" schemaVersion=\"1.0\">\r\n  <displayName />\r\n  <description />\r\n"
        "  <resources>\r\n    <stringTable>\r\n" +
        strings +
        "      <string id=\"ModeOff\">Off</string>\r\n      <string id=\"ModeOn\">On</string>\r\n"
        "    </stringTable>\r\n    <presentationTable>\r\n" +
        presentations + "    </presentationTable>\r\n  </resources>\r\n</policyDefinitionResources>\r\n";
    return {admx, adml};
}

// The generated set, written once per run.
const QString& generatedSet() {
    static QTemporaryDir dir;
    static const bool made = [] {
        QDir().mkpath(dir.filePath(QStringLiteral("en-US")));
        qint64 bytes = 0;
        for (int f = 0; f < kFiles; ++f) {
            const auto [admx, adml] = generatedFile(f);
            bytes += admx.size() + adml.size();
            if (!writeFileAtomically(dir.filePath(QStringLiteral("gen%1.admx").arg(f)), admx) ||
                !writeFileAtomically(dir.filePath(QStringLiteral("en-US/gen%1.adml").arg(f)), adml))
                return false;
        }
        std::printf("generated set: %d files, %d policies, %.1f MB of ADMX and ADML\n", kFiles,
                    kFiles * kPoliciesPerFile, double(bytes) / (1024 * 1024));
        return true;
    }();
    static const QString path = made ? dir.path() : QString();
    return path;
}

void GeneratedSetLoad(benchmark::State& state) {
    const QString folder = generatedSet();
    for (auto _ : state) {
        const TemplateSet set = TemplateFolders::load({folder}, QStringLiteral("en-US"));
        if (set.files().size() != kFiles)
            state.SkipWithError("the generated set did not load whole");
    }
}
BENCHMARK(GeneratedSetLoad)->Unit(benchmark::kMillisecond);

void FirefoxAndSambaLoad(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            TemplateFolders::load({kFirefox, kSamba}, QStringLiteral("en-US")).policies().size());
}
BENCHMARK(FirefoxAndSambaLoad)->Unit(benchmark::kMillisecond);

// Every template policy's state read from the embedded file registry into the machine catalogue,
// with a few dozen policies set there.
void TemplateRefreshFile(benchmark::State& state) {
    QTemporaryDir dir;
    QString error;
    std::unique_ptr<RegFileBackend> backend =
        RegFileBackend::open(dir.filePath(QStringLiteral("registry.reg")), QStringLiteral("BENCH"), &error);
    const TemplateSet set = TemplateFolders::load({kFirefox, kSamba}, QStringLiteral("en-US"));
    QList<RegChange> changes;
    for (qsizetype i = 0; i < set.policies().size(); i += 25) {
        const PolicyInstance& policy = set.policies()[i];
        QString why;
        if (const std::optional<PolicySetting> setting =
                PolicyValues::fromArguments(set, policy, PolicyState::Disabled, {}, {}, &why))
            changes += PolicyWriter::changes(policy, *setting);
    }
    backend->applyChanges(changes, nullptr);
    FixedPrompter prompter(Answer::Yes);
    SilentErrorHandler errors;
    SettingsStore settings(dir.filePath(QStringLiteral("settings")));
    ProgramContext context(*backend, prompter, settings, errors, dir.path());
    context.templates = &set;
    context.machineCatalogue.loadXML(builtinCatalogueText());
    for (auto _ : state)
        TemplateStates::refresh(context);
    state.counters["policies"] = double(set.policies().size());
}
BENCHMARK(TemplateRefreshFile)->Unit(benchmark::kMillisecond);

// tavimorctl list --all with Firefox and Samba templates: the whole process, as a user runs it.
void ListAllWithTemplates(benchmark::State& state) {
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAVIMOR_TARGET"),
                       QStringLiteral("file:") + dir.filePath(QStringLiteral("r.reg")));
    environment.insert(QStringLiteral("TAVIMOR_TEMPLATES"), kFirefox + QLatin1Char(':') + kSamba);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.remove(QStringLiteral("TAVIMOR_PASSWORD"));
    const auto run = [&](const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral(TAVIMOR_PROGRAM_DIR "/tavimorctl"), arguments);
        return process.waitForFinished(60000) && process.exitCode() == 0;
    };
    if (!run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")}))
        state.SkipWithError("tavimorctl set failed");
    for (auto _ : state)
        if (!run({QStringLiteral("list"), QStringLiteral("--all")}))
            state.SkipWithError("tavimorctl list --all failed");
}
BENCHMARK(ListAllWithTemplates)->Unit(benchmark::kMillisecond)->Iterations(11);

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

// The memory the generated set takes once loaded: the peak before and after loading it.
int templateMemory() {
    const QString folder = generatedSet();
    const long before = peakKb();
    const TemplateSet set = TemplateFolders::load({folder}, QStringLiteral("en-US"));
    std::printf(
        "generated set (%lld policies): peak memory %.1f MB before loading, %.1f MB after, %.1f MB more\n",
        qlonglong(set.policies().size()), double(before) / 1024, double(peakKb()) / 1024,
        double(peakKb() - before) / 1024);
    return set.files().size() == kFiles ? 0 : 1;
}
