// SPDX-License-Identifier: GPL-3.0-or-later
#include "ctl/CtlFixture.h"
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"
#include "registry/win9x/CregLayout.h"
#include "support/FaultPlace.h"

#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace tavimor;
using namespace tavimor::test;
using namespace Qt::StringLiterals;

namespace {

constexpr auto kData = TAVIMOR_TEST_DATA "/win98";
constexpr auto kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

class Win9xTarget : public test::CtlFixture {
protected:
    Win9xTarget() {
        // The names as a FAT disk mounted on Linux may show them.
        QDir().mkpath(path("WINDOWS"));
        QFile::copy(QLatin1String(kData) + u"/USER.DAT"_s, path("WINDOWS/user.dat"));
        QFile::copy(QLatin1String(kData) + u"/SYSTEM.DAT"_s, path("WINDOWS/System.dat"));
        m_vars.insert(u"TAVIMOR_TARGET"_s, u"win9x:"_s + path("WINDOWS"));
    }
};

TEST_F(Win9xTarget, TheFilesAreWindows98RegistryFilesToLibcregsOwnTools) {
    for (const char* name : {"USER.DAT", "SYSTEM.DAT"}) {
        const QString file = QLatin1String(kData) + u'/' + QLatin1String(name);
        const ToolRun info = runTool(u"creginfo"_s, {file});
        EXPECT_EQ(info.exitCode, 0) << info.output.toStdString();
        const ToolRun exported = runTool(u"cregexport"_s, {file});
        EXPECT_EQ(exported.exitCode, 0) << exported.output.toStdString();
        EXPECT_TRUE(exported.output.contains("Type: 32-bit integer little-endian"_L1))
            << exported.output.toStdString();
    }
}

TEST_F(Win9xTarget, ReadsValuesVersionAndComputerNameAsWindows98HasThem) {
    QString error;
    std::unique_ptr<RegistryBackend> backend = openRegistryTarget(m_vars.value(u"TAVIMOR_TARGET"_s), &error);
    ASSERT_TRUE(backend) << error.toStdString();
    MSDNRegistry registry(*backend);
    // A value under Software\Microsoft\Windows\CurrentVersion\Policies; in HKEY_USERS, of its .DEFAULT user.
    const auto policy = [&](HKEY hive, const char* key, const char* name) {
        const QString path =
            u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\"_s + QLatin1String(key);
        return registry.ReadKeyValue(hive, hive == HKEY_USERS ? u".DEFAULT\\"_s + path : path,
                                     QLatin1String(name));
    };
    // HKEY_CURRENT_USER is the .DEFAULT user of USER.DAT.
    EXPECT_EQ(policy(HKEY_CURRENT_USER, "Explorer", "norun").toText(), u"1"_s);
    EXPECT_EQ(policy(HKEY_USERS, "System", "DisableRegistryTools").toText(), u"1"_s);
    EXPECT_EQ(policy(HKEY_LOCAL_MACHINE, "Network", "NoFileSharing").toText(), u"1"_s);
    EXPECT_TRUE(policy(HKEY_LOCAL_MACHINE, "Explorer", "NoRun").isNothing());
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, QLatin1String(kExplorer), u"NoRun"_s),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.GetSystemName(), u"OLDPC"_s);
    const WindowsVersion v = backend->windowsVersion();
    EXPECT_EQ(std::tuple(v.platformId, v.major, v.minor, v.name), std::tuple(1u, 4u, 10u, u"Windows 98"_s));
}

TEST_F(Win9xTarget, EveryWriteIsRefusedWithTheWayToDoIt) {
    const QByteArray user = fileBytes(path("WINDOWS/user.dat"));
    for (const QStringList& args :
         {QStringList{u"set"_s, u"NoRun"_s, u"0"_s}, QStringList{u"drives"_s, u"C"_s}}) {
        const Result write = run(args);
        EXPECT_EQ(write.status, 1);
        EXPECT_TRUE(write.err.contains("export-reg"_L1)) << write.err.toStdString();
        EXPECT_TRUE(write.err.contains("regedit on that machine"_L1)) << write.err.toStdString();
        EXPECT_TRUE(write.out.isEmpty()) << write.out.toStdString();
    }
    EXPECT_EQ(fileBytes(path("WINDOWS/user.dat")), user);

    m_vars.insert(u"TAVIMOR_TARGET"_s, u"win9x:"_s + path("program"));
    const Result missing = run({u"list"_s});
    EXPECT_NE(missing.status, 0);
    EXPECT_TRUE(missing.err.contains("has no USER.DAT"_L1)) << missing.err.toStdString();
}

// The bytes of the test's SYSTEM.DAT with 32-bit fields changed: {offset in the file, value}.
QByteArray damaged(const QList<std::pair<int, quint32>>& edits, qsizetype size = -1) {
    QByteArray bytes = fileBytes(QLatin1String(kData) + u"/SYSTEM.DAT"_s);
    for (const auto& [at, value] : edits)
        qToLittleEndian(value, bytes.data() + at);
    return size < 0 ? bytes : bytes.left(size);
}

// Where a field of key entry i lies: the key tree begins at 32, its entries 32 bytes into it.
constexpr int keyField(int i, int field) {
    return 32 + 0x20 + 28 * i + field;
}
constexpr int kFirstSubKey = 16;
constexpr int kNextKey = 20;

// Damage that made libcreg allocate without end (a key reached twice) or read past the file is found
// before libcreg sees the file.
TEST(CregLayout, DamageIsFoundBeforeLibcregWalksIt) {
    EXPECT_EQ(cregLayoutFault(damaged({})), QString());
    const QList<std::pair<QByteArray, QString>> cases{
        {damaged({}, 100), u"its key tree (RGKN) runs past the end of the file"_s},
        {damaged({{36, 0xFFFFFFF0}}), u"its key tree (RGKN) runs past the end of the file"_s},
        {damaged({{16, 1000000}}), u"it counts 1000000 data blocks, more than the file can hold"_s},
        {damaged({{8, 40}}), u"its data block 0 (RGDB) is not where it belongs"_s},
        {damaged({{32 + 4096 + 4, 0}}), u"its data block 0 (RGDB) is too short"_s},
        {damaged({{32 + 4096 + 4, 0x10000}}), u"its data block 0 (RGDB) runs past the end of the file"_s},
        // HKEY_LOCAL_MACHINE's last sub-key names its first as the next one: libcreg went round for good.
        {damaged({{keyField(7, kNextKey), 0x3c}}), u"its key tree loops back to offset 0x3c"_s},
        {damaged({{keyField(2, kFirstSubKey), 0x3c}}), u"its key tree loops back to offset 0x3c"_s},
        {damaged({{keyField(2, kFirstSubKey), 0x2000}}),
         u"a key lies outside its key tree (offset 0x2000)"_s},
        {damaged({{keyField(2, kFirstSubKey), 0}}), u"a key lies outside its key tree (offset 0x0)"_s},
        {damaged({{keyField(2, 24), 0x50000}}), u"a key names data block 5 of 1"_s},
    };
    for (const auto& [bytes, fault] : cases)
        EXPECT_EQ(cregLayoutFault(bytes).toStdString(), fault.toStdString());
}

TEST_F(Win9xTarget, ADamagedFileIsRefusedWithWhereItIsDamaged) {
    const QString system = path("WINDOWS/System.dat");
    ASSERT_TRUE(writeBytes(system, damaged({{keyField(7, kNextKey), 0x3c}})));
    QString error;
    ASSERT_FALSE(openRegistryTarget(m_vars.value(u"TAVIMOR_TARGET"_s), &error));
    EXPECT_EQ(
        error,
        u"%1 is not a sound Windows 95/98/Me registry file: its key tree loops back to offset 0x3c"_s.arg(
            system));
}

} // namespace
