// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "registry/HiveBackend.h"
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

constexpr auto kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// hivexsh, a peer from libhivex-bin, fills a copy of the minimal hive: "add"/"cd" lines then
// "setval" blocks, as its manual page gives them.
void fillHive(const QString& path, const QString& script) {
    const ToolRun run = runTool(u"hivexsh"_s, {u"-w"_s, path}, (script + u"\ncommit\n"_s).toUtf8());
    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
}

QString hivexget(const QString& path, const QString& key, const QString& name) {
    const ToolRun run = runTool(u"hivexget"_s, {path, key, name});
    return run.exitCode == 0 ? run.output.trimmed() : u"<missing>"_s;
}

class HiveBackendTest : public ::testing::Test {
protected:
    HiveBackendTest() {
        for (const char* name : {"NTUSER.DAT", "SOFTWARE", "SYSTEM"})
            QFile::copy(QStringLiteral(TAVIMOR_TEST_DATA "/minimal.hiv"), path(name));
        for (const char* name : {"NTUSER.DAT", "SOFTWARE", "SYSTEM"})
            QFile::setPermissions(path(name), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
    void fillWindows10() {
        fillHive(path("SOFTWARE"),
                 QStringLiteral("add Microsoft\ncd Microsoft\nadd Windows NT\ncd Windows NT\n"
                                "add CurrentVersion\ncd CurrentVersion\nsetval 4\n"
                                "CurrentVersion\nstring:6.3\nCurrentMajorVersionNumber\n"
                                "dword:0x0000000a\nCurrentBuildNumber\nstring:19045\n"
                                "ProductName\nstring:Windows 10 Pro"));
        // Two control sets: the name is read from the one Select\Current names.
        QString system = u"add Select\ncd Select\nsetval 1\nCurrent\ndword:0x00000002\ncd ..\n"_s;
        for (const auto& [set, name] :
             {std::pair{"ControlSet001", "OLDNAME"}, std::pair{"ControlSet002", "KIOSK-7"}})
            system += QStringLiteral(
                          "add %1\ncd %1\nadd Control\ncd Control\nadd ComputerName\ncd ComputerName\n"
                          "add ComputerName\ncd ComputerName\nsetval 1\nComputerName\nstring:%2\ncd \\\n")
                          .arg(QLatin1String(set), QLatin1String(name));
        fillHive(path("SYSTEM"), system);
    }

    QTemporaryDir m_dir;
};

TEST_F(HiveBackendTest, ReadsWhatAPeerWroteWithVersionAndComputerName) {
    fillWindows10();
    fillHive(path("NTUSER.DAT"),
             QStringLiteral("add Software\ncd Software\nadd Microsoft\ncd Microsoft\nadd Windows\n"
                            "cd Windows\nadd CurrentVersion\ncd CurrentVersion\nadd Policies\n"
                            "cd Policies\nadd Explorer\ncd Explorer\nsetval 3\nNoRun\n"
                            "dword:0x00000001\nText\nstring:abc\nBlob\nhex:3:01,00,00,00"));
    std::unique_ptr<RegistryBackend> backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, QLatin1String(kPolicies), u"norun"_s).toText(),
              u"1"_s);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, QLatin1String(kPolicies), u"Text"_s).toText(),
              u"abc"_s);
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, QLatin1String(kPolicies), u"Blob"_s).isNothing());
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kPolicies), u"NoRun"_s).isNothing());
    EXPECT_EQ(registry.GetSystemName(), u"KIOSK-7"_s);
    // The NT family: the version question treats it as unsupported.
    const WindowsVersion version = backend->windowsVersion();
    EXPECT_EQ(version.platformId, 2u);
    EXPECT_EQ(version.major, 10u);
    EXPECT_EQ(version.build, 19045u);
    EXPECT_EQ(version.name, u"Windows 10 Pro"_s);
}

TEST_F(HiveBackendTest, EveryCatalogueEntryRoundTripsThroughTwoIndependentReaders) {
    XmlDocument catalogue;
    ASSERT_TRUE(catalogue.loadXML(builtinCatalogueText()));
    struct Written {
        QString hive, key, name;
        quint32 value;
    };
    QList<Written> written;
    {
        std::unique_ptr<RegistryBackend> backend = open();
        ASSERT_TRUE(backend);
        MSDNRegistry registry(*backend);
        forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
            const HKEY hive = GetKeyValue(entry.text("KEY"));
            const quint32 value = quint32(s * 100 + e + 2);
            registry.CreateRegKey(entry.text("PATH"), hive);
            registry.SaveKeyValue(hive, entry.text("PATH"), entry.text("REGNAME"),
                                  RegDatum::integer(qint32(value)), REG_DWORD);
            QString key = entry.text("PATH");
            QString file = path("NTUSER.DAT");
            if (hive == HKEY_LOCAL_MACHINE) {
                ASSERT_TRUE(key.startsWith("Software\\"_L1, Qt::CaseInsensitive));
                key = key.mid(9);
                file = path("SOFTWARE");
            }
            written.append({file, key, entry.text("REGNAME"), value});
        });
    }
    ASSERT_EQ(written.size(), 57);
    const QString userExport = runTool(u"regfexport"_s, {path("NTUSER.DAT")}).output;
    const QString machineExport = runTool(u"regfexport"_s, {path("SOFTWARE")}).output;
    std::unique_ptr<RegistryBackend> again = open();
    ASSERT_TRUE(again);
    MSDNRegistry registry(*again);
    for (const Written& w : written) {
        SCOPED_TRACE(w.name.toStdString());
        EXPECT_EQ(hivexget(w.hive, w.key, w.name), QString::number(w.value));
        EXPECT_TRUE((w.hive == path("SOFTWARE") ? machineExport : userExport)
                        .contains(u" %1\nType: 32-bit integer little-endian (REG_DWORD_LITTLE_ENDIAN)\n"
                                  "Data size: 4\nData: %2\n"_s.arg(w.name)
                                      .arg(w.value)));
        const HKEY hive = w.hive == path("SOFTWARE") ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        const QString key = hive == HKEY_LOCAL_MACHINE ? u"Software\\"_s + w.key : w.key;
        EXPECT_EQ(registry.ReadKeyValue(hive, key, w.name).toText(), QString::number(w.value));
    }
}

TEST_F(HiveBackendTest, TheFirstWriteKeepsTheOldHiveOnceAndEveryWriteKeepsOwnerAndMode) {
    const QByteArray original = fileBytes(path("NTUSER.DAT"));
    ASSERT_EQ(::chmod(QFile::encodeName(path("NTUSER.DAT")).constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(path("NTUSER.DAT")).constData(), 65534, 65534), 0);
    }
    std::unique_ptr<RegistryBackend> backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    registry.CreateRegKey(QLatin1String(kPolicies), HKEY_CURRENT_USER);
    for (qint32 value : {1, 0})
        registry.SaveKeyValue(HKEY_CURRENT_USER, QLatin1String(kPolicies), u"NoRun"_s,
                              RegDatum::integer(value), REG_DWORD);
    EXPECT_EQ(hivexget(path("NTUSER.DAT"), QLatin1String(kPolicies), u"NoRun"_s), u"0"_s);
    // "Not configured": the value goes, its neighbours stay.
    registry.SaveKeyValue(HKEY_CURRENT_USER, QLatin1String(kPolicies), u"NoFind"_s, RegDatum::integer(1),
                          REG_DWORD);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, QLatin1String(kPolicies), u"norun"_s),
              ERROR_SUCCESS);
    EXPECT_EQ(hivexget(path("NTUSER.DAT"), QLatin1String(kPolicies), u"NoRun"_s), u"<missing>"_s);
    EXPECT_EQ(hivexget(path("NTUSER.DAT"), QLatin1String(kPolicies), u"NoFind"_s), u"1"_s);
    const QString exported = runTool(u"regfexport"_s, {path("NTUSER.DAT")}).output;
    EXPECT_FALSE(exported.contains("NoRun"_L1)) << exported.toStdString();
    EXPECT_TRUE(exported.contains("NoFind"_L1)) << exported.toStdString();
    EXPECT_EQ(fileBytes(path("NTUSER.DAT.tavimor-bak")), original);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path("NTUSER.DAT")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
    }
    // Nothing but the hive and its one backup is left in the folder.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

TEST_F(HiveBackendTest, AHiveWindowsHasNotFinishedWritingIsRefusedUntouched) {
    // A header whose sequence numbers differ.
    QByteArray dirty = fileBytes(path("SOFTWARE"));
    qToLittleEndian<quint32>(7, dirty.data() + 8);
    QFile software(path("SOFTWARE"));
    ASSERT_TRUE(software.open(QIODevice::WriteOnly) && software.write(dirty) == dirty.size());
    software.close();
    QString error;
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains("not shut down cleanly"_L1)) << error.toStdString();
    EXPECT_TRUE(error.contains(path("SOFTWARE"))) << error.toStdString();
    EXPECT_EQ(fileBytes(path("SOFTWARE")), dirty);

    // A transaction log written after the hive; one written before it is history.
    QFile::remove(path("SOFTWARE"));
    QFile::copy(QStringLiteral(TAVIMOR_TEST_DATA "/minimal.hiv"), path("SOFTWARE"));
    QFile log(path("ntuser.dat.LOG1"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly) && log.write("log") == 3);
    log.close();
    const struct utimbuf past { 1000000000, 1000000000 };
    ASSERT_EQ(::utime(QFile::encodeName(path("NTUSER.DAT")).constData(), &past), 0);
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains("ntuser.dat.LOG1 is newer than the hive"_L1)) << error.toStdString();
    ASSERT_EQ(::utime(QFile::encodeName(path("ntuser.dat.LOG1")).constData(), &past), 0);
    ASSERT_EQ(::utime(QFile::encodeName(path("NTUSER.DAT")).constData(), nullptr), 0);
    EXPECT_TRUE(open(&error)) << error.toStdString();
}

TEST_F(HiveBackendTest, AFileThatIsNoHiveIsRefused) {
    QFile file(path("SYSTEM"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("REGEDIT4\r\n") > 0);
    file.close();
    QString error;
    EXPECT_FALSE(open(&error));
    EXPECT_TRUE(error.contains(path("SYSTEM"))) << error.toStdString();
}

TEST_F(HiveBackendTest, AMountedWindowsFolderIsFoundWhateverTheCaseOfItsNames) {
    const QString root = m_dir.filePath(u"mnt"_s);
    ASSERT_TRUE(QDir().mkpath(root + u"/WINDOWS/system32/Config"_s));
    QFile::copy(path("SOFTWARE"), root + u"/WINDOWS/system32/Config/software"_s);
    QFile::copy(path("SYSTEM"), root + u"/WINDOWS/system32/Config/SYSTEM"_s);
    for (const char* profile : {"users/Anna", "users/Default", "users/Public"}) {
        ASSERT_TRUE(QDir().mkpath(root + u'/' + QLatin1String(profile)));
        QFile::copy(path("NTUSER.DAT"), root + u'/' + QLatin1String(profile) + u"/ntuser.dat"_s);
    }
    QString error;
    std::unique_ptr<RegistryBackend> backend = openRegistryTarget(u"windows:"_s + root, &error);
    ASSERT_TRUE(backend) << error.toStdString();
    MSDNRegistry registry(*backend);
    registry.CreateRegKey(QLatin1String(kPolicies), HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, QLatin1String(kPolicies), u"NoRun"_s, RegDatum::integer(1),
                          REG_DWORD);
    EXPECT_EQ(hivexget(root + u"/users/Anna/ntuser.dat"_s, QLatin1String(kPolicies), u"NoRun"_s), u"1"_s);

    ASSERT_TRUE(QDir().mkpath(root + u"/users/Ben"_s));
    QFile::copy(path("NTUSER.DAT"), root + u"/users/Ben/NTUSER.DAT"_s);
    EXPECT_FALSE(openRegistryTarget(u"windows:"_s + root, &error));
    EXPECT_TRUE(error.contains("several user profiles: Anna, Ben"_L1)) << error.toStdString();
    EXPECT_TRUE(openRegistryTarget(u"windows:%1?user=ben"_s.arg(root), &error)) << error.toStdString();
    EXPECT_FALSE(openRegistryTarget(u"windows:%1?user=carl"_s.arg(root), &error));
    EXPECT_TRUE(error.contains("Anna, Ben"_L1)) << error.toStdString();
    EXPECT_FALSE(openRegistryTarget(u"windows:"_s + m_dir.path(), &error));
    EXPECT_TRUE(error.contains("holds no Windows installation"_L1)) << error.toStdString();
}

} // namespace
