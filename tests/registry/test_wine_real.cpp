// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/PolicyExport.h"
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "registry/RegFileBackend.h"
#include "registry/RegPatchImport.h"
#include "registry/WinePrefixBackend.h"
#include "registry/WineRegFile.h"
#include "registry/WineRegTool.h"
#include "registry/WineServerLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tavimor;

namespace {

constexpr auto kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// One fresh prefix for the whole executable: wineboot takes many seconds.
class WineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (WineRegTool::wineProgram().isEmpty()) {
            skipReason = "Wine is not installed (no wine or wine64 on the PATH)";
            return;
        }
        m_dir = std::make_unique<QTemporaryDir>();
        prefix = m_dir->filePath(QStringLiteral("prefix"));
        qputenv("WINEPREFIX", QFile::encodeName(prefix));
        qputenv("WINEDEBUG", "-all");
        qputenv("DISPLAY", "");
        qputenv("WINEDLLOVERRIDES", "mscoree,mshtml=");
        if (run({QStringLiteral("wineboot"), QStringLiteral("--init")}, nullptr, 180000) != 0 ||
            !waitForServer()) {
            skipReason = "wineboot --init failed to make a prefix";
            return;
        }
    }
    void TearDown() override {
        if (prefix.isEmpty())
            return;
        const QStringList folders = WineServerLock(prefix).serverFolders();
        QProcess::execute(wineserver(), {QStringLiteral("-k")});
        waitForServer();
        // The server folders outlive the prefix; Debian's sits in a folder of its own.
        for (const QString& folder : folders) {
            QDir(folder).removeRecursively();
            if (!QFileInfo(folder).path().endsWith(QStringLiteral("/.wine-%1").arg(::getuid())))
                QDir().rmdir(QFileInfo(folder).path());
        }
        m_dir.reset();
    }

    static QString wineserver() {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("wineserver"));
        return found.isEmpty() ? QStringLiteral("/usr/lib/wine/wineserver64") : found;
    }
    // Runs a Wine program in the prefix; the exit code, -1 when it did not run to its end.
    static int run(const QStringList& arguments, QByteArray* output = nullptr, int timeout = 60000) {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(WineRegTool::wineProgram(), arguments);
        if (!process.waitForFinished(timeout) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (output)
            *output = process.readAllStandardOutput();
        return process.exitCode();
    }
    // wineserver -w: returns once the prefix's server has saved the registry and ended.
    static bool waitForServer() { return QProcess::execute(wineserver(), {QStringLiteral("-w")}) == 0; }

    static inline QString prefix;
    static inline const char* skipReason = nullptr;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WineEnvironment);

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RealWine : public ::testing::Test {
protected:
    void SetUp() override {
        if (WineEnvironment::skipReason)
            GTEST_SKIP() << WineEnvironment::skipReason;
        QString error;
        m_backend = WinePrefixBackend::open(WineEnvironment::prefix, &error);
        ASSERT_TRUE(m_backend) << error.toStdString();
    }
    std::optional<RegValue> wineQuery(const QString& key, const QString& name) {
        QByteArray output;
        const QStringList valueArgs =
            name.isEmpty() ? QStringList{QStringLiteral("/ve")} : QStringList{QStringLiteral("/v"), name};
        if (WineEnvironment::run(QStringList{QStringLiteral("reg"), QStringLiteral("query"), key} + valueArgs,
                                 &output) != 0)
            return std::nullopt;
        return WineRegTool::parseQuery(output, name);
    }
    int wineAdd(const QString& key, const QString& name, const QString& type, const QString& data) {
        return WineEnvironment::run({QStringLiteral("reg"), QStringLiteral("add"), key, QStringLiteral("/v"),
                                     name, QStringLiteral("/t"), type, QStringLiteral("/d"), data,
                                     QStringLiteral("/f")});
    }

    std::unique_ptr<WinePrefixBackend> m_backend;
};

} // namespace

TEST_F(RealWine, FreshRegistryFilesRoundTripByteForByte) {
    ASSERT_TRUE(WineEnvironment::waitForServer());
    for (const char* name : {"user.reg", "system.reg", "userdef.reg"}) {
        const QByteArray bytes = readFile(WineEnvironment::prefix + QLatin1Char('/') + QLatin1String(name));
        ASSERT_FALSE(bytes.isEmpty()) << name;
        QString error;
        const std::optional<WineRegFile> file = WineRegFile::parse(bytes, &error);
        ASSERT_TRUE(file) << name << ": " << error.toStdString();
        EXPECT_EQ(file->serialize(), bytes) << name;
        EXPECT_FALSE(file->keyPaths().isEmpty()) << name;
    }
}

TEST_F(RealWine, WhatTavimorWritesWinesRegReads) {
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_FALSE(m_backend->serverRunning());
    MSDNRegistry registry(*m_backend);
    const QString policies = QLatin1String(kPolicies);
    registry.CreateRegKey(policies, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("NoRun"), RegDatum::integer(1),
                          REG_DWORD);
    registry.SaveKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("Tavimor \"Text\""),
                          RegDatum::text(QStringLiteral("caf\u00e9 \\ [x]")), REG_SZ);
    registry.CreateRegKey(policies, HKEY_LOCAL_MACHINE);
    registry.SaveKeyValue(HKEY_LOCAL_MACHINE, policies, QStringLiteral("NoDrives"),
                          RegDatum::integer(0x3FFFFFF), REG_DWORD);

    const QString user = QStringLiteral("HKEY_CURRENT_USER\\") + policies;
    EXPECT_EQ(wineQuery(user, QStringLiteral("NoRun")), (RegValue{REG_DWORD, QByteArray("\1\0\0\0", 4)}));
    EXPECT_EQ(wineQuery(user, QStringLiteral("Tavimor \"Text\"")).value_or(RegValue{}).type, REG_SZ);
    EXPECT_EQ(wineQuery(QStringLiteral("HKLM\\") + policies, QStringLiteral("NoDrives")),
              (RegValue{REG_DWORD, QByteArray("\xff\xff\xff\x03", 4)}));
    // And the text arrives as Wine's programs see it; ASCII output keeps the check independent of code pages.
    registry.SaveKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("Plain"),
                          RegDatum::text(QStringLiteral("a \\ b")), REG_SZ);
    EXPECT_EQ(wineQuery(user, QStringLiteral("Plain")), (RegValue{REG_SZ, QByteArray("a \\ b\0", 6)}));
}

TEST_F(RealWine, WhatWinesRegWritesTavimorReadsWithAndWithoutServer) {
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\TavimorTest");
    ASSERT_EQ(wineAdd(key, QStringLiteral("FromWine"), QStringLiteral("REG_DWORD"), QStringLiteral("7")), 0);
    ASSERT_EQ(wineAdd(key, QStringLiteral("Text"), QStringLiteral("REG_SZ"), QStringLiteral("hello world")),
              0);
    MSDNRegistry registry(*m_backend);
    const QString path = QStringLiteral("Software\\TavimorTest");
    // Right after reg, its server still runs and holds the newest values.
    EXPECT_TRUE(m_backend->serverRunning());
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("FromWine")),
              RegDatum::integer(7));
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_FALSE(m_backend->serverRunning());
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("FromWine")),
              RegDatum::integer(7));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("Text")),
              RegDatum::text(QStringLiteral("hello world")));
}

TEST_F(RealWine, WriteWhileTheServerRunsOutlivesItsSave) {
    // A server with nothing to do lingers two seconds, then saves the registry and ends.
    ASSERT_TRUE(WineEnvironment::waitForServer());
    ASSERT_EQ(QProcess::execute(WineEnvironment::wineserver(), {QStringLiteral("-p2")}), 0);
    ASSERT_TRUE(m_backend->serverRunning());
    MSDNRegistry registry(*m_backend);
    const QString path = QStringLiteral("Software\\TavimorWhileRunning");
    registry.CreateRegKey(path, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("NoClose"), RegDatum::integer(1),
                          REG_DWORD);
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_FALSE(m_backend->serverRunning());
    EXPECT_TRUE(readFile(WineEnvironment::prefix + QStringLiteral("/user.reg"))
                    .contains("\"NoClose\"=dword:00000001"));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("NoClose")),
              RegDatum::integer(1));
    // The key made through reg has no default value, as one made by Windows has none.
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QString()).isNothing());
}

TEST_F(RealWine, VersionCheckSeesWhatWineReports) {
    const QString wine = QStringLiteral("HKEY_CURRENT_USER\\Software\\Wine");
    const auto supported = [](const WindowsVersion& v) {
        return v.platformId == 1 && v.major >= 4;
    };
    ASSERT_EQ(wineAdd(wine, QStringLiteral("Version"), QStringLiteral("REG_SZ"), QStringLiteral("win98")), 0);
    QByteArray ver;
    ASSERT_EQ(
        WineEnvironment::run({QStringLiteral("cmd"), QStringLiteral("/c"), QStringLiteral("ver")}, &ver), 0);
    EXPECT_TRUE(ver.contains("4.10")) << ver.constData();
    WindowsVersion version = m_backend->windowsVersion();
    EXPECT_EQ(version.platformId, 1u);
    EXPECT_EQ(version.major, 4u);
    EXPECT_TRUE(supported(version));
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_TRUE(supported(m_backend->windowsVersion()));

    ASSERT_EQ(wineAdd(wine, QStringLiteral("Version"), QStringLiteral("REG_SZ"), QStringLiteral("win10")), 0);
    ASSERT_TRUE(WineEnvironment::waitForServer());
    version = m_backend->windowsVersion();
    EXPECT_EQ(version.platformId, 2u);
    EXPECT_EQ(version.major, 10u);
    EXPECT_FALSE(supported(version));
    ASSERT_EQ(WineEnvironment::run({QStringLiteral("reg"), QStringLiteral("delete"), wine,
                                    QStringLiteral("/v"), QStringLiteral("Version"), QStringLiteral("/f")}),
              0);
}

TEST_F(RealWine, ComputerNameIsWhatWinesProgramsSee) {
    QByteArray output;
    ASSERT_EQ(
        WineEnvironment::run(
            {QStringLiteral("cmd"), QStringLiteral("/c"), QStringLiteral("echo %COMPUTERNAME%")}, &output),
        0);
    const QString seen = QString::fromLocal8Bit(output).trimmed();
    EXPECT_EQ(m_backend->computerName(), seen);
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_EQ(m_backend->computerName(), seen);
}

TEST_F(RealWine, RestartEndsTheSessionAndKeepsTheValues) {
    MSDNRegistry registry(*m_backend);
    const QString path = QStringLiteral("Software\\TavimorRestart");
    registry.CreateRegKey(path, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("Kept"), RegDatum::integer(3), REG_DWORD);
    EXPECT_TRUE(m_backend->requestRestart()) << m_backend->lastError().toStdString();
    EXPECT_EQ(wineQuery(QStringLiteral("HKCU\\") + path, QStringLiteral("Kept")),
              (RegValue{REG_DWORD, QByteArray("\3\0\0\0", 4)}));
}

TEST_F(RealWine, ValuesDeletedOnEitherSideAreGoneForTheOther) {
    ASSERT_TRUE(WineEnvironment::waitForServer());
    MSDNRegistry registry(*m_backend);
    const QString path = QStringLiteral("Software\\TavimorDelete");
    const QString full = QStringLiteral("HKEY_CURRENT_USER\\") + path;
    registry.CreateRegKey(path, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("A"), RegDatum::integer(1), REG_DWORD);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("B"), RegDatum::integer(2), REG_DWORD);
    // In the files while no server runs, then through reg while the one reg started runs.
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("A")), ERROR_SUCCESS);
    EXPECT_FALSE(wineQuery(full, QStringLiteral("A")));
    EXPECT_TRUE(wineQuery(full, QStringLiteral("B")));
    ASSERT_TRUE(m_backend->serverRunning());
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("B")), ERROR_SUCCESS);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("B")), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(wineQuery(full, QStringLiteral("B")));

    ASSERT_EQ(wineAdd(full, QStringLiteral("C"), QStringLiteral("REG_DWORD"), QStringLiteral("3")), 0);
    ASSERT_EQ(WineEnvironment::run({QStringLiteral("reg"), QStringLiteral("delete"), full,
                                    QStringLiteral("/v"), QStringLiteral("C"), QStringLiteral("/f")}),
              0);
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("C")).isNothing());
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("C")).isNothing());
}

TEST_F(RealWine, RegeditImportsARegEditFileWrittenAfterADelete) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("policy.reg"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TavimorImport]\r\n"
                  "\"Gone\"=dword:00000001\r\n\"Kept\"=\"kept\"\r\n");
    }
    QString error;
    const std::unique_ptr<RegFileBackend> backend = RegFileBackend::open(file, QStringLiteral("PC"), &error);
    ASSERT_TRUE(backend) << error.toStdString();
    MSDNRegistry registry(*backend);
    const QString path = QStringLiteral("Software\\TavimorImport");
    ASSERT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("Gone")), ERROR_SUCCESS);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, QStringLiteral("Added"), RegDatum::integer(5), REG_DWORD);

    const QString windowsPath =
        QStringLiteral("Z:") + QString(file).replace(QLatin1Char('/'), QLatin1Char('\\'));
    ASSERT_EQ(WineEnvironment::run({QStringLiteral("regedit"), QStringLiteral("/S"), windowsPath}), 0);
    const QString full = QStringLiteral("HKEY_CURRENT_USER\\") + path;
    EXPECT_EQ(wineQuery(full, QStringLiteral("Kept")), (RegValue{REG_SZ, QByteArray("kept\0", 5)}));
    EXPECT_EQ(wineQuery(full, QStringLiteral("Added")), (RegValue{REG_DWORD, QByteArray("\5\0\0\0", 4)}));
    EXPECT_FALSE(wineQuery(full, QStringLiteral("Gone")));
}

TEST_F(RealWine, RegFilesGoBothWaysBetweenTavimorAndWinesRegedit) {
    const QString user = QStringLiteral("HKEY_CURRENT_USER\\") + QLatin1String(kPolicies);
    ASSERT_EQ(wineAdd(user, QStringLiteral("NoFind"), QStringLiteral("REG_DWORD"), QStringLiteral("1")), 0);
    // Our export of a machine where NoRun and NoDrives are set and every other policy is not.
    MemoryBackend machine;
    machine.putValue(user, QStringLiteral("NoRun"), regDword(1));
    machine.putValue(user, QStringLiteral("NoDrives"), regDword(0x3FFFFFF));
    XmlDocument catalogue;
    ASSERT_TRUE(catalogue.loadXML(builtinCatalogueText()));
    QStringList addresses;
    forEachEntry(catalogue,
                 [&](const CatalogueEntry&, int s, int e) { addresses.append(entryAddress(s, e)); });
    const RegPatch patch = PolicyExport::fromRegistry(machine, catalogue, addresses, nullptr);
    QTemporaryDir dir;
    for (const RegFormat format : {RegFormat::Regedit4, RegFormat::Version5}) {
        const QString file = dir.filePath(QStringLiteral("push%1.reg").arg(int(format)));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(patch.serialize(format));
        out.close();
        ASSERT_EQ(WineEnvironment::run({QStringLiteral("regedit"), QStringLiteral("/s"), file}), 0);
        EXPECT_EQ(wineQuery(user, QStringLiteral("NoRun")), (RegValue{REG_DWORD, QByteArray("\1\0\0\0", 4)}));
        EXPECT_EQ(wineQuery(user, QStringLiteral("NoDrives")),
                  (RegValue{REG_DWORD, QByteArray("\xff\xff\xff\x03", 4)}));
        // REGEDIT4 cannot delete; version 5 removes what is not configured.
        EXPECT_EQ(wineQuery(user, QStringLiteral("NoFind")).has_value(), format == RegFormat::Regedit4);
    }

    // What Wine's regedit exports, import-reg reads back to the same values.
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\TavimorRegedit");
    ASSERT_EQ(wineAdd(key, QStringLiteral("Number"), QStringLiteral("REG_DWORD"), QStringLiteral("5")), 0);
    ASSERT_EQ(wineAdd(key, QStringLiteral("Text"), QStringLiteral("REG_SZ"), QStringLiteral("a \\ \"b\"")),
              0);
    ASSERT_EQ(wineAdd(key, QStringLiteral("Bytes"), QStringLiteral("REG_BINARY"), QStringLiteral("0102ff")),
              0);
    const QString exported = dir.filePath(QStringLiteral("wine.reg"));
    ASSERT_EQ(WineEnvironment::run({QStringLiteral("regedit"), QStringLiteral("/e"), exported, key}), 0);
    const QByteArray bytes = readFile(exported);
    EXPECT_TRUE(bytes.startsWith("\xFF\xFEW\0i\0n\0"));
    QString error;
    int line = 0;
    const std::optional<RegPatch> read = RegPatch::parse(bytes, &error, &line);
    ASSERT_TRUE(read) << line << ": " << error.toStdString();
    MemoryBackend imported;
    ASSERT_TRUE(importRegPatch(imported, *read, &error)) << error.toStdString();
    const QString path = QStringLiteral("Software\\TavimorRegedit");
    // Wine's reg prints text in a code page of its own, so the text is compared with what was added.
    for (const char* name : {"Number", "Bytes"})
        EXPECT_EQ(readRegValue(imported, HKEY_CURRENT_USER, path, QLatin1String(name)),
                  wineQuery(key, QLatin1String(name)))
            << name;
    EXPECT_EQ(readRegValue(imported, HKEY_CURRENT_USER, path, QStringLiteral("Text")),
              (RegValue{REG_SZ, QByteArray("a \\ \"b\"\0", 8)}));
}

TEST_F(RealWine, WhileAServerRunsDeepKeysAreReadFromOneExportAndAWriteIsSeenAtOnce) {
    const QString policies =
        QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\TavimorDeep");
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\") + policies;
    // An earlier case may have left a server; start one of known persistence.
    QProcess::execute(WineEnvironment::wineserver(), {QStringLiteral("-k")});
    QProcess::execute(WineEnvironment::wineserver(), {QStringLiteral("-w")});
    ASSERT_EQ(QProcess::execute(WineEnvironment::wineserver(), {QStringLiteral("-p10")}), 0);
    ASSERT_EQ(wineAdd(key, QStringLiteral("NoRun"), QStringLiteral("REG_DWORD"), QStringLiteral("5")), 0);
    ASSERT_EQ(wineAdd(key, QStringLiteral("Text"), QStringLiteral("REG_SZ"), QStringLiteral("a \"b\" \\ c")),
              0);
    ASSERT_TRUE(m_backend->serverRunning());
    MSDNRegistry registry(*m_backend);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("norun")),
              RegDatum::integer(5));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("Text")),
              RegDatum::text(QStringLiteral("a \"b\" \\ c")));
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("Missing")).isNothing());
    EXPECT_TRUE(
        registry.ReadKeyValue(HKEY_CURRENT_USER, policies + QStringLiteral("\\None"), QStringLiteral("NoRun"))
            .isNothing());
    registry.SaveKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("NoRun"), RegDatum::integer(6),
                          REG_DWORD);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, QStringLiteral("NoRun")),
              RegDatum::integer(6));
    EXPECT_EQ(wineQuery(key, QStringLiteral("NoRun")), (RegValue{REG_DWORD, QByteArray("\6\0\0\0", 4)}));
    ASSERT_TRUE(WineEnvironment::waitForServer());
}

TEST_F(RealWine, WhileAServerRunsABatchIsOneImportAndAKeyWineRefusesIsNamed) {
    const QString sub = QStringLiteral("Software\\TavimorBatch");
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\") + sub;
    QProcess::execute(WineEnvironment::wineserver(), {QStringLiteral("-k")});
    QProcess::execute(WineEnvironment::wineserver(), {QStringLiteral("-w")});
    ASSERT_EQ(QProcess::execute(WineEnvironment::wineserver(), {QStringLiteral("-p10")}), 0);
    ASSERT_EQ(wineAdd(key, QStringLiteral("Gone"), QStringLiteral("REG_DWORD"), QStringLiteral("7")), 0);
    ASSERT_TRUE(m_backend->serverRunning());
    using Kind = RegChange::Kind;
    const RegValue text{REG_SZ, QByteArray("text\0", 5)};
    QList<RegChange> changes{
        {Kind::SetValue, HKEY_CURRENT_USER, sub, QStringLiteral("A"), regDword(1)},
        {Kind::SetValue, HKEY_CURRENT_USER, sub + QStringLiteral("\\Deeper"), QStringLiteral("B"), text},
        {Kind::DeleteValue, HKEY_CURRENT_USER, sub, QStringLiteral("Gone"), {}}};
    qsizetype failed = -1;
    EXPECT_EQ(m_backend->applyChanges(changes, &failed), ERROR_SUCCESS)
        << m_backend->lastError().toStdString();
    EXPECT_EQ(wineQuery(key, QStringLiteral("A")), regDword(1));
    EXPECT_EQ(wineQuery(key + QStringLiteral("\\Deeper"), QStringLiteral("B")), text);
    EXPECT_FALSE(wineQuery(key, QStringLiteral("Gone")));

    // Wine makes no key below a volatile one; what reg wrote after it is put back.
    const QString volatileChild =
        QStringLiteral("System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName\\Tavimor");
    changes = {{Kind::SetValue, HKEY_CURRENT_USER, sub, QStringLiteral("A"), regDword(2)},
               {Kind::SetValue, HKEY_LOCAL_MACHINE, volatileChild, QStringLiteral("V"), regDword(3)},
               {Kind::SetValue, HKEY_CURRENT_USER, sub, QStringLiteral("C"), regDword(4)}};
    EXPECT_EQ(m_backend->applyChanges(changes, &failed), ERROR_CANTWRITE);
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(m_backend->lastError().contains(QStringLiteral("ActiveComputerName\\Tavimor")))
        << m_backend->lastError().toStdString();
    EXPECT_EQ(wineQuery(key, QStringLiteral("A")), regDword(2));
    EXPECT_FALSE(wineQuery(key, QStringLiteral("C")));
    ASSERT_TRUE(WineEnvironment::waitForServer());
}
