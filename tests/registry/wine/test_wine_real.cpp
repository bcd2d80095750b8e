// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/PolicyExport.h"
#include "ctl/CtlFixture.h"
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "registry/regfile/RegFileBackend.h"
#include "registry/regfile/RegPatchImport.h"
#include "registry/wine/WinePrefixBackend.h"
#include "registry/wine/WineRegFile.h"
#include "registry/wine/WineRegSyntax.h"
#include "registry/wine/WineRegTool.h"
#include "registry/wine/WineServerLock.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kPolicies = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;
const QString kUserPolicies = u"HKEY_CURRENT_USER\\"_s + kPolicies;

// One fresh prefix for the whole executable: wineboot takes many seconds.
class WineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (WineRegTool::wineProgram().isEmpty()) {
            skipReason = "Wine is not installed (no wine or wine64 on the PATH)";
            return;
        }
        m_dir = std::make_unique<QTemporaryDir>();
        prefix = m_dir->filePath(u"prefix"_s);
        qputenv("WINEPREFIX", QFile::encodeName(prefix));
        qputenv("WINEDEBUG", "-all");
        qputenv("DISPLAY", "");
        qputenv("WINEDLLOVERRIDES", "mscoree,mshtml=");
        if (run({u"wineboot"_s, u"--init"_s}, nullptr, 180000) != 0 || !waitForServer())
            skipReason = "wineboot --init failed to make a prefix";
    }
    void TearDown() override {
        if (prefix.isEmpty())
            return;
        const QStringList folders = WineServerLock(prefix).serverFolders();
        server(u"-k"_s);
        waitForServer();
        // The server folders outlive the prefix; Debian's sits in a folder of its own.
        for (const QString& folder : folders) {
            QDir(folder).removeRecursively();
            if (!QFileInfo(folder).path().endsWith(u"/.wine-%1"_s.arg(::getuid())))
                QDir().rmdir(QFileInfo(folder).path());
        }
        m_dir.reset();
    }

    static int server(const QString& option) {
        const QString found = QStandardPaths::findExecutable(u"wineserver"_s);
        return QProcess::execute(found.isEmpty() ? u"/usr/lib/wine/wineserver64"_s : found, {option});
    }
    // wineserver -w: returns once the prefix's server has saved the registry and ended.
    static bool waitForServer() { return server(u"-w"_s) == 0; }
    // An earlier case may have left a server; start one of known persistence.
    static bool startServerFor10s() {
        server(u"-k"_s);
        waitForServer();
        return server(u"-p10"_s) == 0;
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

    static inline QString prefix;
    static inline const char* skipReason = nullptr;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WineEnvironment);

int reg(const QStringList& arguments, QByteArray* output = nullptr) {
    return WineEnvironment::run(QStringList{u"reg"_s} + arguments, output);
}

std::optional<RegValue> wineQuery(const QString& key, const QString& name) {
    QByteArray output;
    if (reg({u"query"_s, key, u"/v"_s, name}, &output) != 0)
        return std::nullopt;
    return WineRegTool::parseQuery(output, name);
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
    static int wineAdd(const QString& key, const QString& name, const QString& type, const QString& data) {
        return reg({u"add"_s, key, u"/v"_s, name, u"/t"_s, type, u"/d"_s, data, u"/f"_s});
    }
    static int wineDelete(const QString& key, const QString& name) {
        return reg({u"delete"_s, key, u"/v"_s, name, u"/f"_s});
    }

    std::unique_ptr<WinePrefixBackend> m_backend;
};

} // namespace

// wineserver's own files come back byte for byte, and each value line from our writer as wineserver wrote it.
TEST_F(RealWine, FreshRegistryFilesRoundTripByteForByte) {
    ASSERT_TRUE(WineEnvironment::waitForServer());
    for (const char* name : {"/user.reg", "/system.reg", "/userdef.reg"}) {
        const QByteArray bytes = fileBytes(WineEnvironment::prefix + QLatin1String(name));
        QString error;
        const std::optional<WineRegFile> file = WineRegFile::parse(bytes, &error);
        ASSERT_TRUE(file) << name << ": " << error.toStdString();
        EXPECT_EQ(file->serialize(), bytes) << name;
        EXPECT_FALSE(file->keyPaths().isEmpty()) << name;
        QByteArray lines;
        for (const QByteArray& line : bytes.split('\n')) {
            lines += line + '\n';
            if (line.endsWith('\\'))
                continue;
            if (lines.startsWith('"') || lines.startsWith('@')) {
                const auto value = winereg::parseValueLine(QByteArray(lines).replace("\\\n  ", "").trimmed());
                ASSERT_TRUE(value) << lines.constData();
                ASSERT_EQ(winereg::valueText(value->name, value->value), lines);
            }
            lines.clear();
        }
    }
}

TEST_F(RealWine, WhatTavimorWritesWinesRegReads) {
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_FALSE(m_backend->serverRunning());
    MSDNRegistry registry(*m_backend);
    registry.CreateRegKey(kPolicies, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"NoRun"_s, RegDatum::integer(1), REG_DWORD);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"Tavimor \"Text\""_s,
                          RegDatum::text(u"caf\u00e9 \\ [x]"_s), REG_SZ);
    registry.CreateRegKey(kPolicies, HKEY_LOCAL_MACHINE);
    registry.SaveKeyValue(HKEY_LOCAL_MACHINE, kPolicies, u"NoDrives"_s, RegDatum::integer(0x3FFFFFF),
                          REG_DWORD);

    // Writing what is there already changes nothing, not even the key's time.
    const QByteArray saved = fileBytes(WineEnvironment::prefix + u"/user.reg"_s);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"NoRun"_s, RegDatum::integer(1), REG_DWORD);
    EXPECT_EQ(fileBytes(WineEnvironment::prefix + u"/user.reg"_s), saved);

    EXPECT_EQ(wineQuery(kUserPolicies, u"NoRun"_s), regDword(1));
    EXPECT_EQ(wineQuery(kUserPolicies, u"Tavimor \"Text\""_s).value_or(RegValue{}).type, REG_SZ);
    EXPECT_EQ(wineQuery(u"HKLM\\"_s + kPolicies, u"NoDrives"_s), regDword(0x3FFFFFF));
    // And the text arrives as Wine's programs see it; ASCII output keeps the check independent of code pages.
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"Plain"_s, RegDatum::text(u"a \\ b"_s), REG_SZ);
    EXPECT_EQ(wineQuery(kUserPolicies, u"Plain"_s), (RegValue{REG_SZ, QByteArray("a \\ b\0", 6)}));
}

TEST_F(RealWine, WriteWhileTheServerRunsOutlivesItsSave) {
    // A server with nothing to do lingers two seconds, then saves the registry and ends.
    ASSERT_TRUE(WineEnvironment::waitForServer());
    ASSERT_EQ(WineEnvironment::server(u"-p2"_s), 0);
    ASSERT_TRUE(m_backend->serverRunning());
    MSDNRegistry registry(*m_backend);
    const QString path = u"Software\\TavimorWhileRunning"_s;
    registry.CreateRegKey(path, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, u"NoClose"_s, RegDatum::integer(1), REG_DWORD);
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, path, u"NoClose"_s), RegDatum::integer(1));
    // The key made through reg has no default value, as one made by Windows has none.
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, path, QString()).isNothing());
}

// Wine takes a version name as written; one it does not know ("WinMe") leaves the machine's keys to tell.
TEST_F(RealWine, ComputerNameAndVersionAreWhatWinesProgramsSee) {
    QByteArray output;
    ASSERT_EQ(WineEnvironment::run({u"cmd"_s, u"/c"_s, u"echo %COMPUTERNAME%"_s}, &output), 0);
    const QString seen = QString::fromLocal8Bit(output).trimmed();
    EXPECT_EQ(m_backend->computerName(), seen);
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_EQ(m_backend->computerName(), seen);
    const QString wine = u"HKEY_CURRENT_USER\\Software\\Wine"_s;
    const auto version = [this] {
        const WindowsVersion v = m_backend->windowsVersion();
        return std::tuple(v.platformId, v.major, v.minor);
    };
    for (const auto& [name, platform, major, minor] :
         {std::tuple{"win98", 1u, 4u, 10u}, std::tuple{"WinMe", 2u, 6u, 1u},
          std::tuple{"win10", 2u, 10u, 0u}}) {
        ASSERT_EQ(wineAdd(wine, u"Version"_s, u"REG_SZ"_s, QLatin1String(name)), 0);
        ASSERT_EQ(WineEnvironment::run({u"cmd"_s, u"/c"_s, u"ver"_s}, &output), 0);
        EXPECT_TRUE(output.contains(u"Windows %1.%2."_s.arg(major).arg(minor).toLatin1()))
            << output.constData();
        // Through reg while its server runs, then from the files it saved; a backend reuses reg's export for
        // a few seconds, so each name gets one of its own.
        ASSERT_TRUE(m_backend = WinePrefixBackend::open(WineEnvironment::prefix, nullptr));
        EXPECT_EQ(version(), std::tuple(platform, major, minor)) << name;
        ASSERT_TRUE(WineEnvironment::waitForServer());
        EXPECT_EQ(version(), std::tuple(platform, major, minor)) << name;
    }
    ASSERT_EQ(wineDelete(wine, u"Version"_s), 0);
}

// HKEY_CLASSES_ROOT, the user's key below HKEY_USERS and Wine's link keys lead where they lead for Wine.
TEST_F(RealWine, ClassesUsersAndLinkKeysLeadWhereWineLeads) {
    ASSERT_TRUE(WineEnvironment::waitForServer());
    MSDNRegistry registry(*m_backend);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CLASSES_ROOT, u".ini"_s, QString()), RegDatum::text(u"inifile"_s));
    EXPECT_EQ(
        registry.ReadKeyValue(HKEY_USERS, u"S-1-5-21-0-0-0-1000\\Control Panel\\Desktop"_s, u"CaretWidth"_s),
        RegDatum::integer(1));
    // 32-bit programs see the machine's policies through a link key.
    const QString linked = QString(kPolicies).replace(u"Software\\"_s, u"Software\\Wow6432Node\\"_s);
    registry.CreateRegKey(linked, HKEY_LOCAL_MACHINE);
    registry.SaveKeyValue(HKEY_LOCAL_MACHINE, linked, u"ViaLink"_s, RegDatum::integer(8), REG_DWORD);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_LOCAL_MACHINE, linked, u"ViaLink"_s), RegDatum::integer(8));
    EXPECT_EQ(wineQuery(u"HKLM\\"_s + kPolicies, u"ViaLink"_s), regDword(8));
}

TEST_F(RealWine, RestartEndsTheSessionAndKeepsTheValues) {
    MSDNRegistry registry(*m_backend);
    const QString path = u"Software\\TavimorRestart"_s;
    registry.CreateRegKey(path, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, u"Kept"_s, RegDatum::integer(3), REG_DWORD);
    EXPECT_TRUE(m_backend->requestRestart()) << m_backend->lastError().toStdString();
    EXPECT_EQ(wineQuery(u"HKCU\\"_s + path, u"Kept"_s), regDword(3));
}

TEST_F(RealWine, ValuesDeletedOnEitherSideAreGoneForTheOther) {
    ASSERT_TRUE(WineEnvironment::waitForServer());
    MSDNRegistry registry(*m_backend);
    const QString path = u"Software\\TavimorDelete"_s;
    const QString full = u"HKEY_CURRENT_USER\\"_s + path;
    registry.CreateRegKey(path, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, u"A"_s, RegDatum::integer(1), REG_DWORD);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, u"B"_s, RegDatum::integer(2), REG_DWORD);
    // In the files while no server runs, then through reg while one runs; the server reg leaves behind
    // lingers only three seconds, too short on a loaded machine, so one of known persistence is started.
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, u"A"_s), ERROR_SUCCESS);
    EXPECT_FALSE(wineQuery(full, u"A"_s));
    EXPECT_TRUE(wineQuery(full, u"B"_s));
    ASSERT_TRUE(WineEnvironment::startServerFor10s());
    ASSERT_TRUE(m_backend->serverRunning());
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, u"B"_s), ERROR_SUCCESS);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, u"B"_s), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(wineQuery(full, u"B"_s));

    ASSERT_EQ(wineAdd(full, u"C"_s, u"REG_DWORD"_s, u"3"_s), 0);
    ASSERT_EQ(wineDelete(full, u"C"_s), 0);
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, path, u"C"_s).isNothing());
    ASSERT_TRUE(WineEnvironment::waitForServer());
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, path, u"C"_s).isNothing());
}

TEST_F(RealWine, RegeditImportsARegEditFileWrittenAfterADelete) {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"policy.reg"_s);
    ASSERT_TRUE(writeBytes(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TavimorImport]\r\n"
                                 "\"Gone\"=dword:00000001\r\n\"Kept\"=\"kept\"\r\n"));
    QString error;
    const std::unique_ptr<RegFileBackend> backend = RegFileBackend::open(file, u"PC"_s, &error);
    ASSERT_TRUE(backend) << error.toStdString();
    MSDNRegistry registry(*backend);
    const QString path = u"Software\\TavimorImport"_s;
    ASSERT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, path, u"Gone"_s), ERROR_SUCCESS);
    registry.SaveKeyValue(HKEY_CURRENT_USER, path, u"Added"_s, RegDatum::integer(5), REG_DWORD);

    ASSERT_EQ(WineEnvironment::run({u"regedit"_s, u"/S"_s, u"Z:"_s + QString(file).replace(u'/', u'\\')}), 0);
    const QString full = u"HKEY_CURRENT_USER\\"_s + path;
    EXPECT_EQ(wineQuery(full, u"Kept"_s), (RegValue{REG_SZ, QByteArray("kept\0", 5)}));
    EXPECT_EQ(wineQuery(full, u"Added"_s), regDword(5));
    EXPECT_FALSE(wineQuery(full, u"Gone"_s));
}

TEST_F(RealWine, RegFilesGoBothWaysBetweenTavimorAndWinesRegedit) {
    // One server for the whole case: a server of an earlier case that ends between two Wine
    // programs may still be saving the registry while a new one reads it.
    ASSERT_TRUE(WineEnvironment::startServerFor10s());
    ASSERT_EQ(wineAdd(kUserPolicies, u"NoFind"_s, u"REG_DWORD"_s, u"1"_s), 0);
    // Our export of a machine where NoRun and NoDrives are set and every other policy is not.
    MemoryBackend machine;
    machine.putValue(kUserPolicies, u"NoRun"_s, regDword(1));
    machine.putValue(kUserPolicies, u"NoDrives"_s, regDword(0x3FFFFFF));
    XmlDocument catalogue;
    ASSERT_TRUE(catalogue.loadXML(builtinCatalogueText()));
    QStringList addresses;
    forEachEntry(catalogue,
                 [&](const CatalogueEntry&, int s, int e) { addresses.append(entryAddress(s, e)); });
    const RegPatch patch = PolicyExport::fromRegistry(machine, catalogue, addresses, nullptr, nullptr);
    QTemporaryDir dir;
    for (const RegFormat format : {RegFormat::Regedit4, RegFormat::Version5}) {
        const QString file = dir.filePath(u"push%1.reg"_s.arg(int(format)));
        ASSERT_TRUE(writeBytes(file, patch.serialize(format)));
        ASSERT_EQ(WineEnvironment::run({u"regedit"_s, u"/s"_s, file}), 0);
        EXPECT_EQ(wineQuery(kUserPolicies, u"NoRun"_s), regDword(1));
        EXPECT_EQ(wineQuery(kUserPolicies, u"NoDrives"_s), regDword(0x3FFFFFF));
        // REGEDIT4 cannot delete; version 5 removes what is not configured.
        EXPECT_EQ(wineQuery(kUserPolicies, u"NoFind"_s).has_value(), format == RegFormat::Regedit4);
    }

    // What Wine's regedit exports, import-reg reads back to the same values.
    const QString key = u"HKEY_CURRENT_USER\\Software\\TavimorRegedit"_s;
    ASSERT_EQ(wineAdd(key, u"Number"_s, u"REG_DWORD"_s, u"5"_s), 0);
    ASSERT_EQ(wineAdd(key, u"Text"_s, u"REG_SZ"_s, u"a \\ \"b\""_s), 0);
    ASSERT_EQ(wineAdd(key, u"Bytes"_s, u"REG_BINARY"_s, u"0102ff"_s), 0);
    const QString exported = dir.filePath(u"wine.reg"_s);
    ASSERT_EQ(WineEnvironment::run({u"regedit"_s, u"/e"_s, exported, key}), 0);
    const QByteArray bytes = fileBytes(exported);
    EXPECT_TRUE(bytes.startsWith("\xFF\xFEW\0i\0n\0"));
    QString error;
    int line = 0;
    const std::optional<RegPatch> read = RegPatch::parse(bytes, &error, &line);
    ASSERT_TRUE(read) << line << ": " << error.toStdString();
    MemoryBackend imported;
    ASSERT_TRUE(importRegPatch(imported, *read, &error)) << error.toStdString();
    const QString path = u"Software\\TavimorRegedit"_s;
    // Wine's reg prints text in a code page of its own, so the text is compared with what was added.
    for (const QString& name : {u"Number"_s, u"Bytes"_s})
        EXPECT_EQ(readRegValue(imported, HKEY_CURRENT_USER, path, name), wineQuery(key, name))
            << name.toStdString();
    EXPECT_EQ(readRegValue(imported, HKEY_CURRENT_USER, path, u"Text"_s),
              (RegValue{REG_SZ, QByteArray("a \\ \"b\"\0", 8)}));
}

TEST_F(RealWine, WhileAServerRunsDeepKeysAreReadFromOneExportAndAWriteIsSeenAtOnce) {
    const QString policies = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\TavimorDeep"_s;
    const QString key = u"HKEY_CURRENT_USER\\"_s + policies;
    ASSERT_TRUE(WineEnvironment::startServerFor10s());
    ASSERT_EQ(wineAdd(key, u"NoRun"_s, u"REG_DWORD"_s, u"5"_s), 0);
    ASSERT_EQ(wineAdd(key, u"Text"_s, u"REG_SZ"_s, u"a \"b\" \\ c"_s), 0);
    ASSERT_TRUE(m_backend->serverRunning());
    MSDNRegistry registry(*m_backend);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, u"norun"_s), RegDatum::integer(5));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, u"Text"_s),
              RegDatum::text(u"a \"b\" \\ c"_s));
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, u"Missing"_s).isNothing());
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, policies + u"\\None"_s, u"NoRun"_s).isNothing());
    registry.SaveKeyValue(HKEY_CURRENT_USER, policies, u"NoRun"_s, RegDatum::integer(6), REG_DWORD);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, policies, u"NoRun"_s), RegDatum::integer(6));
    EXPECT_EQ(wineQuery(key, u"NoRun"_s), regDword(6));

    // A key made in name only until its first value: its parent's values are still there to delete,
    // and none is found below it.
    const QString deeper = policies + u"\\New\\Deeper"_s;
    EXPECT_EQ(registry.CreateRegKey(deeper, HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, policies, u"NoRun"_s), ERROR_SUCCESS);
    EXPECT_FALSE(wineQuery(key, u"NoRun"_s));
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, deeper, u"NoRun"_s), ERROR_FILE_NOT_FOUND);
    registry.SaveKeyValue(HKEY_CURRENT_USER, deeper, u"NoRun"_s, RegDatum::integer(7), REG_DWORD);
    EXPECT_EQ(wineQuery(u"HKEY_CURRENT_USER\\"_s + deeper, u"NoRun"_s), regDword(7));
}

TEST_F(RealWine, WhileAServerRunsABatchIsOneImportAndAKeyWineRefusesIsNamed) {
    const QString sub = u"Software\\TavimorBatch"_s;
    const QString key = u"HKEY_CURRENT_USER\\"_s + sub;
    ASSERT_TRUE(WineEnvironment::startServerFor10s());
    ASSERT_EQ(wineAdd(key, u"Gone"_s, u"REG_DWORD"_s, u"7"_s), 0);
    ASSERT_TRUE(m_backend->serverRunning());
    using Kind = RegChange::Kind;
    const RegValue text{REG_SZ, QByteArray("text\0", 5)};
    QList<RegChange> changes{{Kind::SetValue, HKEY_CURRENT_USER, sub, u"A"_s, regDword(1)},
                             {Kind::SetValue, HKEY_CURRENT_USER, sub + u"\\Deeper"_s, u"B"_s, text},
                             {Kind::DeleteValue, HKEY_CURRENT_USER, sub, u"Gone"_s, {}}};
    qsizetype failed = -1;
    EXPECT_EQ(m_backend->applyChanges(changes, &failed), ERROR_SUCCESS)
        << m_backend->lastError().toStdString();
    EXPECT_EQ(wineQuery(key, u"A"_s), regDword(1));
    EXPECT_EQ(wineQuery(key + u"\\Deeper"_s, u"B"_s), text);
    EXPECT_FALSE(wineQuery(key, u"Gone"_s));

    // Wine makes no key below a volatile one; what reg wrote after it is put back.
    const QString volatileChild =
        u"System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName\\Tavimor"_s;
    changes = {{Kind::SetValue, HKEY_CURRENT_USER, sub, u"A"_s, regDword(2)},
               {Kind::SetValue, HKEY_LOCAL_MACHINE, volatileChild, u"V"_s, regDword(3)},
               {Kind::SetValue, HKEY_CURRENT_USER, sub, u"C"_s, regDword(4)}};
    EXPECT_EQ(m_backend->applyChanges(changes, &failed), ERROR_CANTWRITE);
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(m_backend->lastError().contains(u"ActiveComputerName\\Tavimor"_s))
        << m_backend->lastError().toStdString();
    EXPECT_EQ(wineQuery(key, u"A"_s), regDword(2));
    EXPECT_FALSE(wineQuery(key, u"C"_s));
}

// The agent answers every step of a tool in one Wine process; one that ended between steps is
// started again, and one Wine cannot run at all leaves every step to reg.
TEST_F(RealWine, AnAgentThatEndedIsStartedAgainAndOneWineCannotRunLeavesTheStepsToReg) {
    const QString agent = WineRegTool::agentProgram();
    if (agent.isEmpty())
        GTEST_SKIP() << "no Wine agent on this road";
    const QString key = u"HKEY_CURRENT_USER\\Software\\TavimorAgent"_s;
    ASSERT_TRUE(WineEnvironment::startServerFor10s());
    ASSERT_EQ(wineAdd(key, u"Kept"_s, u"REG_DWORD"_s, u"3"_s), 0);
    {
        WineRegTool tool(WineEnvironment::prefix);
        bool exists = false;
        ASSERT_EQ(tool.keyExists(key, &exists), ERROR_SUCCESS);
        EXPECT_TRUE(exists);
        EXPECT_EQ(tool.processesStarted(), 1);
        // Idle, it ends by itself.
        QThread::msleep(2500);
        RegValue value;
        EXPECT_EQ(tool.readValue(key, u"Kept"_s, &value), ERROR_SUCCESS) << tool.lastError().toStdString();
        EXPECT_EQ(value, regDword(3));
        EXPECT_EQ(tool.processesStarted(), 2);
    }
    QTemporaryDir folder;
    const QString junk = folder.filePath(u"tavimor-wine-agent.exe"_s);
    ASSERT_TRUE(writeBytes(junk, "not a program"));
    qputenv("TAVIMOR_WINE_AGENT", QFile::encodeName(junk));
    WineRegTool tool(WineEnvironment::prefix);
    const long written = tool.writeValue(key, u"Through"_s, regDword(4));
    qputenv("TAVIMOR_WINE_AGENT", QFile::encodeName(agent));
    EXPECT_EQ(written, ERROR_SUCCESS) << tool.lastError().toStdString();
    EXPECT_EQ(wineQuery(key, u"Through"_s), regDword(4));
}

namespace {

// tavimorctl in-process on the shared prefix, with a wine on WINE that notes what each start runs.
class RealWineCtl : public CtlFixture {
protected:
    void SetUp() override {
        if (WineEnvironment::skipReason)
            GTEST_SKIP() << WineEnvironment::skipReason;
        m_vars.insert(u"TAVIMOR_TARGET"_s, u"wine:"_s + WineEnvironment::prefix);
        const QString wine = path("wine");
        ASSERT_TRUE(writeBytes(wine, "#!/bin/sh\nprintf '%s %s ' \"$1\" \"$2\" >> '" +
                                         QFile::encodeName(path("wine.log")) + "'\nexec '" +
                                         QFile::encodeName(WineRegTool::wineProgram()) + "' \"$@\"\n"));
        QFile::setPermissions(wine, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("WINE", QFile::encodeName(wine));
    }
    void TearDown() override { qunsetenv("WINE"); }
};

} // namespace

// Each command starts the Wine processes its own entries need and no more. Through the agent, one
// for the whole command. Through reg alone: one export per hive to read, one write, one export per
// hive an import wrote to read back (reg add and delete report what the registry did); reg by its
// path, as a bare name costs a second process.
TEST_F(RealWineCtl, ACommandStartsOnlyTheWineProcessesItsEntriesNeed) {
    const QString agent = WineRegTool::agentProgram();
    ASSERT_TRUE(WineEnvironment::startServerFor10s());
    // Neither an entry's key nor a template policy's is there yet, as in a fresh prefix: reg add
    // makes each with its first value.
    const QString firefox = u"HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla"_s;
    for (const QString& key : {kUserPolicies, firefox})
        reg({u"delete"_s, key, u"/f"_s});
    const QString file = path("builtin.rds");
    ASSERT_TRUE(writeBytes(file, rds(builtinCatalogueText())));
    const QStringList templates{u"--templates"_s,
                                QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox")};
    const QString both = u"export export import export export"_s;
    const std::tuple<QStringList, QString, const char*> cases[] = {
        {{u"--version"_s}, u""_s, "tavimorctl"},
        {{u"--help"_s}, u""_s, "Usage"},
        {{u"list"_s, u"--bogus"_s}, u""_s, "--bogus"},
        {{u"export-xml"_s, file}, u""_s, "<REGISTRYSETTINGS"},
        {{u"set"_s, u"NoRun"_s, u"1"_s}, u"export add"_s, "Disabled (NoRun = 1)"},
        {{u"set"_s, u"NoRun"_s, u"1"_s}, u"export"_s, "already Disabled"},
        {{u"unset"_s, u"NoRun"_s}, u"export delete"_s, "NoRun deleted"},
        {{u"unset"_s, u"NoRun"_s}, u"export"_s, "was not set"},
        // A template policy: its own key alone, none of the catalogue's.
        {templates + QStringList{u"set"_s, u"machine/firefox:DisablePrivateBrowsing"_s, u"enabled"_s},
         u"export add"_s, "DisablePrivateBrowsing = 1"},
        {templates + QStringList{u"show"_s, u"machine/firefox:DisablePrivateBrowsing"_s}, u"export"_s,
         "Current Machine Settings: Enabled"},
        {templates + QStringList{u"unset"_s, u"machine/firefox:DisablePrivateBrowsing"_s}, u"export delete"_s,
         "not configured (was Enabled)"},
        // Both hives have entries here.
        {{u"list"_s, u"Start Menu"_s}, u"export export"_s, "Run Dialog"},
        {{u"apply"_s, file}, both, "NoRun: absent -> 0"},
        {{u"unset"_s, u"--all"_s}, both, "NoRun deleted, was 0"},
    };
    for (const auto& [args, calls, says] : cases) {
        QFile::remove(path("wine.log"));
        const Result r = run(args);
        const QString log =
            QFile::exists(path("wine.log")) ? QString::fromLatin1(fileBytes(path("wine.log"))) : QString();
        QString seen = log.simplified().replace(u"C:\\windows\\system32\\reg.exe "_s, QString());
        if (!agent.isEmpty())
            seen.replace(agent, u"agent"_s);
        EXPECT_EQ(seen, agent.isEmpty() || calls.isEmpty() ? calls : u"agent"_s)
            << args.join(u' ').toStdString() << ": " << log.toStdString();
        EXPECT_TRUE(QString(r.out + r.err).contains(QLatin1String(says)))
            << r.out.toStdString() << r.err.toStdString();
        if (args.first() == u"set"_s) {
            EXPECT_EQ(wineQuery(kUserPolicies, u"NoRun"_s), regDword(1));
        }
        if (args.contains(u"set"_s)) {
            // Made with its value alone, as a key Windows makes: no empty default value.
            const bool policy = args.contains(u"machine/firefox:DisablePrivateBrowsing"_s);
            QByteArray output;
            EXPECT_EQ(reg({u"query"_s, policy ? firefox + u"\\Firefox"_s : kUserPolicies}, &output), 0);
            EXPECT_TRUE(output.contains(policy ? "DisablePrivateBrowsing" : "NoRun")) << output.toStdString();
            EXPECT_FALSE(output.contains("(Default)")) << output.toStdString();
        }
    }
    EXPECT_EQ(wineQuery(kUserPolicies, u"NoRun"_s), std::nullopt);
}
