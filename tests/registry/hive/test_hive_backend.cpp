// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"
#include "registry/hive/HiveBackend.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kPolicies = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;

// hivexsh, a peer from libhivex-bin, fills a copy of the minimal hive: "add"/"cd" lines then
// "setval" blocks, as its manual page gives them.
void fillHive(const QString& path, const QString& script) {
    const ToolRun run = runTool(u"hivexsh"_s, {u"-w"_s, path}, (script + u"\ncommit\n"_s).toUtf8());
    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
}

// The hivexsh lines that make each key of the path and go into the last.
QString keyLines(const QString& path) {
    QString lines;
    for (const QString& part : path.split(u'\\'))
        lines += u"add %1\ncd %1\n"_s.arg(part);
    return lines;
}

QString hivexget(const QString& path, const QString& key, const QString& name) {
    const ToolRun run = runTool(u"hivexget"_s, {path, key, name});
    return run.exitCode == 0 ? run.output.trimmed() : u"<missing>"_s;
}

class HiveBackendTest : public ::testing::Test {
protected:
    HiveBackendTest() {
        for (const char* name : {"NTUSER.DAT", "SOFTWARE", "SYSTEM"}) {
            QFile::copy(QStringLiteral(TAVIMOR_TEST_DATA "/minimal.hiv"), path(name));
            QFile::setPermissions(path(name), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QString target() const {
        return u"hive:%1,%2,%3"_s.arg(path("NTUSER.DAT"), path("SOFTWARE"), path("SYSTEM"));
    }
    std::unique_ptr<RegistryBackend> open(QString* error = nullptr) {
        QString why;
        std::unique_ptr<RegistryBackend> backend = openRegistryTarget(target(), &why);
        if (error)
            *error = why;
        return backend;
    }

    QTemporaryDir m_dir;
};

TEST_F(HiveBackendTest, ReadsWhatAPeerWroteWithVersionAndComputerName) {
    fillHive(path("SOFTWARE"), keyLines(u"Microsoft\\Windows NT\\CurrentVersion"_s) +
                                   u"setval 4\nCurrentVersion\nstring:6.3\nCurrentMajorVersionNumber\n"
                                   "dword:0x0000000a\nCurrentBuildNumber\nstring:19045\n"
                                   "ProductName\nstring:Windows 10 Pro"_s);
    // Two control sets: the name is read from the one Select\Current names.
    QString system = u"add Select\ncd Select\nsetval 1\nCurrent\ndword:0x00000002\ncd ..\n"_s;
    for (const auto& [set, name] :
         {std::pair{"ControlSet001", "OLDNAME"}, std::pair{"ControlSet002", "KIOSK-7"}})
        system += keyLines(QLatin1String(set) + u"\\Control\\ComputerName\\ComputerName"_s) +
                  u"setval 1\nComputerName\nstring:%1\ncd \\\n"_s.arg(QLatin1String(name));
    fillHive(path("SYSTEM"), system);
    fillHive(path("NTUSER.DAT"),
             keyLines(kPolicies) + u"setval 2\nNoRun\ndword:0x00000001\nText\nstring:abc"_s);
    std::unique_ptr<RegistryBackend> backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPolicies, u"norun"_s).toText(), u"1"_s);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPolicies, u"Text"_s).toText(), u"abc"_s);
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_LOCAL_MACHINE, kPolicies, u"NoRun"_s).isNothing());
    EXPECT_EQ(registry.GetSystemName(), u"KIOSK-7"_s);
    // The NT family: the version question treats it as unsupported.
    const WindowsVersion v = backend->windowsVersion();
    EXPECT_EQ(std::tuple(v.platformId, v.major, v.build, v.name),
              std::tuple(2u, 10u, 19045u, u"Windows 10 Pro"_s));
}

TEST_F(HiveBackendTest, EveryCatalogueEntryRoundTripsThroughTwoIndependentReaders) {
    XmlDocument catalogue;
    ASSERT_TRUE(catalogue.loadXML(builtinCatalogueText()));
    std::unique_ptr<RegistryBackend> backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    int written = 0;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        const HKEY hive = GetKeyValue(entry.text("KEY"));
        registry.CreateRegKey(entry.text("PATH"), hive);
        registry.SaveKeyValue(hive, entry.text("PATH"), entry.text("REGNAME"),
                              RegDatum::integer(s * 100 + e + 2), REG_DWORD);
        ++written;
    });
    ASSERT_EQ(written, 57);
    const QString userExport = runTool(u"regfexport"_s, {path("NTUSER.DAT")}).output;
    const QString machineExport = runTool(u"regfexport"_s, {path("SOFTWARE")}).output;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        const QString key = entry.text("PATH"), name = entry.text("REGNAME"),
                      value = QString::number(s * 100 + e + 2);
        SCOPED_TRACE(name.toStdString());
        // SOFTWARE is HKEY_LOCAL_MACHINE\Software.
        const bool machine = GetKeyValue(entry.text("KEY")) == HKEY_LOCAL_MACHINE;
        EXPECT_EQ(hivexget(path(machine ? "SOFTWARE" : "NTUSER.DAT"), machine ? key.mid(9) : key, name),
                  value);
        EXPECT_TRUE((machine ? machineExport : userExport)
                        .contains(u" %1\nType: 32-bit integer little-endian (REG_DWORD_LITTLE_ENDIAN)\n"
                                  "Data size: 4\nData: %2\n"_s.arg(name, value)));
    });
}

// What a policy template writes, read by libregf's regfexport: text in UTF-16 as Windows keeps it.
TEST_F(HiveBackendTest, TypedTemplateValuesAreWhatAnIndependentReaderReads) {
    std::unique_ptr<RegistryBackend> backend = open();
    ASSERT_TRUE(backend);
    const QString key = u"Software\\Policies\\Mozilla\\Firefox"_s;
    const QList<RegChange> changes = {
        {RegChange::Kind::SetValue, HKEY_CURRENT_USER, key, u"Lines"_s, regMultiSz({u"de"_s, u"en-US"_s})},
        {RegChange::Kind::SetValue, HKEY_CURRENT_USER, key, u"Path"_s, regExpandSz(u"%HOME%\\x"_s)},
        {RegChange::Kind::SetValue, HKEY_CURRENT_USER, key, u"Large"_s, regQword(5000000000ull)},
    };
    ASSERT_EQ(backend->applyChanges(changes, nullptr), ERROR_SUCCESS);
    const QString exported = runTool(u"regfexport"_s, {path("NTUSER.DAT")}).output;
    for (const char* expected :
         {"Lines\nType: multi-value string (REG_MULTI_SZ)\nData size: 20\nData:\n"
          "00000000: 64 00 65 00 00 00 65 00  6e 00 2d 00 55 00 53 00   d.e...e. n.-.U.S.\n"
          "00000010: 00 00 00 00                                        ....\n",
          "Path\nType: expandable string (REG_EXPAND_SZ)\nData size: 18\nData: %HOME%\\x\n",
          "Large\nType: 64-bit integer little-endian (REG_QWORD_LITTLE_ENDIAN)\nData size: 8\nData: "
          "5000000000\n"})
        EXPECT_TRUE(exported.contains(QLatin1String(expected))) << expected << exported.toStdString();
}

TEST_F(HiveBackendTest, TheFirstWriteKeepsTheOldHiveOnceAndEveryWriteKeepsOwnerAndMode) {
    const QByteArray original = fileBytes(path("NTUSER.DAT"));
    ASSERT_EQ(::chmod(QFile::encodeName(path("NTUSER.DAT")).constData(), 0640), 0);
    // Root hands the hive to another user first; whoever owns it keeps it.
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    ASSERT_EQ(::chown(QFile::encodeName(path("NTUSER.DAT")).constData(), owner, gid_t(-1)), 0);
    std::unique_ptr<RegistryBackend> backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    registry.CreateRegKey(kPolicies, HKEY_CURRENT_USER);
    for (qint32 value : {1, 0})
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"NoRun"_s, RegDatum::integer(value), REG_DWORD);
    EXPECT_EQ(hivexget(path("NTUSER.DAT"), kPolicies, u"NoRun"_s), u"0"_s);
    // "Not configured": the value goes, its neighbours stay.
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"NoFind"_s, RegDatum::integer(1), REG_DWORD);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, kPolicies, u"norun"_s), ERROR_SUCCESS);
    EXPECT_EQ(hivexget(path("NTUSER.DAT"), kPolicies, u"NoRun"_s), u"<missing>"_s);
    EXPECT_EQ(hivexget(path("NTUSER.DAT"), kPolicies, u"NoFind"_s), u"1"_s);
    const QString exported = runTool(u"regfexport"_s, {path("NTUSER.DAT")}).output;
    EXPECT_FALSE(exported.contains("NoRun"_L1)) << exported.toStdString();
    EXPECT_TRUE(exported.contains("NoFind"_L1)) << exported.toStdString();
    EXPECT_EQ(fileBytes(path("NTUSER.DAT.tavimor-bak")), original);
    // A key that is there and a value that holds what is asked leave the file as it is.
    const auto written = fileIdentity(path("NTUSER.DAT"));
    EXPECT_EQ(registry.CreateRegKey(kPolicies, HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"nofind"_s, RegDatum::integer(1), REG_DWORD),
        ERROR_SUCCESS);
    EXPECT_EQ(fileIdentity(path("NTUSER.DAT")), written);
    EXPECT_EQ(factsOf(path("NTUSER.DAT")).mode, 0640u);
    EXPECT_EQ(factsOf(path("NTUSER.DAT")).owner, owner);
    // Nothing but the hive and its one backup is left in the folder.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

// Each writer holds the hive's lock from its read to its rename: writers in parallel lose no value,
// and one that cannot have the lock names who holds it and writes nothing.
TEST_F(HiveBackendTest, ParallelWritersLoseNoWriteAndAHeldLockIsNamed) {
    const auto openHive = [this](int lockTimeout) {
        QString error;
        std::unique_ptr<HiveBackend> backend =
            HiveBackend::open({path("NTUSER.DAT"), {}, {}}, u"hive:test"_s, &error);
        EXPECT_TRUE(backend) << error.toStdString();
        if (backend)
            backend->setLockTimeout(lockTimeout);
        return backend;
    };
    MSDNRegistry(*openHive(0)).CreateRegKey(kPolicies, HKEY_CURRENT_USER);
    constexpr int kWriters = 8;
    constexpr int kValues = 2;
    QList<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const std::unique_ptr<HiveBackend> backend = openHive(120000);
            bool written = backend != nullptr;
            for (int v = 0; written && v < kValues; ++v)
                written = MSDNRegistry(*backend).SaveKeyValue(
                              HKEY_CURRENT_USER, kPolicies, u"W%1V%2"_s.arg(w).arg(v),
                              RegDatum::integer(w * 10 + v), REG_DWORD) == ERROR_SUCCESS;
            ::_exit(written ? 0 : 1);
        }
        writers.append(pid);
    }
    for (const pid_t pid : writers) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const std::unique_ptr<HiveBackend> reader = openHive(0);
    MSDNRegistry registry(*reader);
    for (int w = 0; w < kWriters; ++w)
        for (int v = 0; v < kValues; ++v)
            EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPolicies, u"W%1V%2"_s.arg(w).arg(v)).toText(),
                      QString::number(w * 10 + v));

    const QString lock = path("NTUSER.DAT.lock");
    const LockHolder holder(lock);
    ASSERT_TRUE(holder.held());
    const QByteArray before = fileBytes(path("NTUSER.DAT"));
    const std::unique_ptr<HiveBackend> blocked = openHive(100);
    EXPECT_NE(MSDNRegistry(*blocked).SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"NoRun"_s,
                                                  RegDatum::integer(1), REG_DWORD),
              ERROR_SUCCESS);
    EXPECT_TRUE(blocked->lastError().startsWith(u"%1 is locked by another program ("_s.arg(lock)))
        << blocked->lastError().toStdString();
    EXPECT_TRUE(
        blocked->lastError().endsWith(u"process %1); try again when it has ended."_s.arg(holder.pid())));
    EXPECT_EQ(fileBytes(path("NTUSER.DAT")), before);
}

TEST_F(HiveBackendTest, AHiveThatIsNoneOrThatWindowsHasNotFinishedWritingIsRefusedUntouched) {
    const QByteArray hive = fileBytes(path("SYSTEM"));
    ASSERT_TRUE(writeBytes(path("SYSTEM"), "REGEDIT4\r\n"));
    QString error;
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains(path("SYSTEM"))) << error.toStdString();
    ASSERT_TRUE(writeBytes(path("SYSTEM"), hive));

    // A header whose sequence numbers differ.
    QByteArray dirty = hive;
    qToLittleEndian<quint32>(7, dirty.data() + 8);
    ASSERT_TRUE(writeBytes(path("SOFTWARE"), dirty));
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains("not shut down cleanly"_L1)) << error.toStdString();
    EXPECT_TRUE(error.contains(path("SOFTWARE"))) << error.toStdString();
    EXPECT_EQ(fileBytes(path("SOFTWARE")), dirty);
    ASSERT_TRUE(writeBytes(path("SOFTWARE"), hive));

    // A transaction log written after the hive; one written before it is history.
    ASSERT_TRUE(writeBytes(path("ntuser.dat.LOG1"), "log"));
    const struct utimbuf past { 1000000000, 1000000000 };
    ASSERT_EQ(::utime(QFile::encodeName(path("NTUSER.DAT")).constData(), &past), 0);
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains("ntuser.dat.LOG1 is newer than the hive"_L1)) << error.toStdString();
    ASSERT_EQ(::utime(QFile::encodeName(path("ntuser.dat.LOG1")).constData(), &past), 0);
    ASSERT_EQ(::utime(QFile::encodeName(path("NTUSER.DAT")).constData(), nullptr), 0);
    EXPECT_TRUE(open(&error)) << error.toStdString();
}

TEST_F(HiveBackendTest, AMountedWindowsFolderIsFoundWhateverTheCaseOfItsNames) {
    const QString root = m_dir.filePath(u"mnt"_s);
    const auto put = [&](const char* hive, const QString& to) {
        QDir().mkpath(QFileInfo(root + to).path());
        QFile::copy(path(hive), root + to);
    };
    put("SOFTWARE", u"/WINDOWS/system32/Config/software"_s);
    put("SYSTEM", u"/WINDOWS/system32/Config/SYSTEM"_s);
    for (const char* profile : {"Anna", "Default", "Public"})
        put("NTUSER.DAT", u"/users/%1/ntuser.dat"_s.arg(QLatin1String(profile)));
    QString error;
    std::unique_ptr<RegistryBackend> backend = openRegistryTarget(u"windows:"_s + root, &error);
    ASSERT_TRUE(backend) << error.toStdString();
    MSDNRegistry registry(*backend);
    registry.CreateRegKey(kPolicies, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, u"NoRun"_s, RegDatum::integer(1), REG_DWORD);
    EXPECT_EQ(hivexget(root + u"/users/Anna/ntuser.dat"_s, kPolicies, u"NoRun"_s), u"1"_s);

    put("NTUSER.DAT", u"/users/Ben/NTUSER.DAT"_s);
    EXPECT_FALSE(openRegistryTarget(u"windows:"_s + root, &error));
    EXPECT_TRUE(error.contains("several user profiles: Anna, Ben"_L1)) << error.toStdString();
    EXPECT_TRUE(openRegistryTarget(u"windows:%1?user=ben"_s.arg(root), &error)) << error.toStdString();
    EXPECT_FALSE(openRegistryTarget(u"windows:%1?user=carl"_s.arg(root), &error));
    EXPECT_TRUE(error.contains("Anna, Ben"_L1)) << error.toStdString();
    EXPECT_FALSE(openRegistryTarget(u"windows:"_s + m_dir.path(), &error));
    EXPECT_TRUE(error.contains("holds no Windows installation"_L1)) << error.toStdString();
}

} // namespace
