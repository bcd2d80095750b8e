// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "support/RecordingErrorHandler.h"

#include <gtest/gtest.h>

using namespace tavimor;

namespace {

const QString kPath = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
const QString kFull = QStringLiteral("HKEY_CURRENT_USER\\") + kPath;

class RegistryLayer : public ::testing::Test {
protected:
    MemoryBackend backend;
    MSDNRegistry registry{backend};
};

TEST_F(RegistryLayer, ReadsGiveNothingForMissingKeysValuesAndOtherTypes) {
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("NoRun")).isNothing());
    backend.putValue(kFull, QStringLiteral("Bin"), RegValue{REG_BINARY, QByteArray("\x01\0\0\0", 4)});
    backend.putValue(kFull, QStringLiteral("Text"), regSz(QStringLiteral("abc")));
    backend.putValue(kFull, QStringLiteral("Num"), regDword(0xFFFFFFFF));
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("NoRun")).isNothing());
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("Bin")).isNothing());
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("text")),
              RegDatum::text(QStringLiteral("abc")));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("Num")).toText(),
              QStringLiteral("-1"));
    EXPECT_TRUE(registry.ReadKeyValue(0, kPath, QStringLiteral("Num")).isNothing());

    HKEY key = 0;
    ASSERT_EQ(backend.openKey(HKEY_CURRENT_USER, kPath, KEY_TAVIMOR_ACCESS, &key), ERROR_SUCCESS);
    RegDatum datum = RegDatum::text(QStringLiteral("untouched"));
    EXPECT_EQ(registry.ReadRegValue(key, QStringLiteral("Bin"), datum), -1);
    EXPECT_EQ(datum, RegDatum::text(QStringLiteral("untouched")));
    EXPECT_EQ(registry.ReadRegValue(key, QStringLiteral("Missing"), datum), ERROR_FILE_NOT_FOUND);
    backend.closeKey(key);
    EXPECT_EQ(backend.openHandleCount(), 0);
}

TEST_F(RegistryLayer, WritesNeedTheKeyAndStoreLittleEndianDwords) {
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("NoRun"),
                          RegDatum::text(QStringLiteral("1")), REG_DWORD);
    EXPECT_FALSE(backend.value(kFull, QStringLiteral("NoRun")).has_value());
    EXPECT_FALSE(backend.hasKey(kFull));

    registry.CreateRegKey(kPath, HKEY_CURRENT_USER);
    EXPECT_EQ(backend.lastAccess(), 0x3Fu);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("NoRun"),
                          RegDatum::text(QStringLiteral("1")), REG_DWORD);
    EXPECT_EQ(backend.lastAccess(), 0x3Fu);
    EXPECT_EQ(backend.value(kFull, QStringLiteral("NoRun")),
              (RegValue{REG_DWORD, QByteArray("\x01\0\0\0", 4)}));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("NoRun")), RegDatum::integer(1));

    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("S"),
                          RegDatum::text(QStringLiteral("abc")), REG_SZ);
    EXPECT_EQ(backend.value(kFull, QStringLiteral("S"))->data, QByteArray("abc\0", 4));
    // Types other than REG_SZ and REG_DWORD, and texts that are no number, write nothing.
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("B"), RegDatum::integer(1), REG_BINARY);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, QStringLiteral("N"),
                          RegDatum::text(QStringLiteral("Null")), REG_DWORD);
    EXPECT_FALSE(backend.value(kFull, QStringLiteral("B")).has_value());
    EXPECT_FALSE(backend.value(kFull, QStringLiteral("N")).has_value());
    // The unknown hive writes nothing anywhere.
    registry.CreateRegKey(kPath, GetKeyValue(QStringLiteral("HKEY_FOO")));
    EXPECT_EQ(backend.writeCount(), 2);
    EXPECT_EQ(backend.openHandleCount(), 0);
}

TEST_F(RegistryLayer, KeyPathsAreCheckedAndCaseInsensitive) {
    registry.CreateRegKey(QStringLiteral("Software\\Tavimor\\Deep\\Key"), HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(backend.hasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\software\\TAVIMOR")));
    HKEY key = 0;
    EXPECT_EQ(backend.openKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\tavimor\\deep\\KEY"), 0x3F, &key),
              ERROR_SUCCESS);
    backend.closeKey(key);
    EXPECT_EQ(backend.openKey(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\\\Tavimor"), 0x3F, &key),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(backend.openKey(0x12345, QString(), 0x3F, &key), ERROR_INVALID_HANDLE);
}

TEST(RegistryHelpers, HiveNamesPowerAndConversions) {
    EXPECT_EQ(GetKeyValue(QStringLiteral("HKEY_CLASSES_ROOT")), 0x80000000u);
    EXPECT_EQ(GetKeyValue(QStringLiteral("HKEY_CURRENT_USER")), 0x80000001u);
    EXPECT_EQ(GetKeyValue(QStringLiteral("HKEY_LOCAL_MACHINE")), 0x80000002u);
    EXPECT_EQ(GetKeyValue(QStringLiteral("HKEY_USERS")), 0x80000003u);
    EXPECT_EQ(GetKeyValue(QStringLiteral("hkey_local_machine")), 0u);
    EXPECT_EQ(GetKeyValue(QStringLiteral("HKEY_CURRENT_CONFIG")), 0u);

    test::RecordingErrorHandler errors;
    EXPECT_EQ(qRound(Power(2, 0, errors)), 1);
    for (int i = 0; i <= 25; ++i)
        EXPECT_EQ(qRound(Power(2, i, errors)), 1 << i);
    EXPECT_TRUE(errors.reports.isEmpty());
    EXPECT_EQ(Power(0, 3, errors), 0.0);
    EXPECT_EQ(Power(10, 400, errors), 0.0);
    ASSERT_EQ(errors.reports.size(), 2);
    EXPECT_EQ(errors.reports[0].source, QStringLiteral("bGlobal.Power"));

    EXPECT_EQ(toLong(u" 12 "), 12);
    EXPECT_EQ(toLong(u"-2147483648"), std::numeric_limits<qint32>::min());
    EXPECT_EQ(toLong(u"2.5"), 2);
    EXPECT_EQ(toLong(u"3.5"), 4);
    EXPECT_EQ(toLong(u"0000000000000000007"), 7);
    for (const char16_t* bad : {u"", u"Null", u"2147483648", u"1e3", u"0x10", u"1 2", u"."})
        EXPECT_FALSE(toLong(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(RegDatum().toText(), QString());
    EXPECT_EQ(RegDatum().toInteger(), 0);
}

TEST(MachineFacts, AWindows98StoreReportsItsVersionAndName) {
    MemoryBackend backend;
    EXPECT_EQ(backend.windowsVersion().platformId, 0u);
    EXPECT_FALSE(backend.computerName().has_value());
    for (const SeedValue& seed : windows98Seed(QStringLiteral("OFFICE-7")))
        backend.putValue(seed.keyPath, seed.name, seed.value);
    const WindowsVersion version = backend.windowsVersion();
    EXPECT_EQ(version.platformId, 1u);
    EXPECT_EQ(version.major, 4u);
    EXPECT_EQ(version.minor, 10u);
    EXPECT_EQ(version.build, 2222u);
    EXPECT_EQ(version.name, QStringLiteral("Windows 98"));
    EXPECT_EQ(MSDNRegistry(backend).GetSystemName(), QStringLiteral("OFFICE-7"));

    MemoryBackend nt;
    nt.putValue(QLatin1String(kNtVersionKey), QStringLiteral("CurrentMajorVersionNumber"), regDword(10));
    nt.putValue(QLatin1String(kNtVersionKey), QStringLiteral("CurrentMinorVersionNumber"), regDword(0));
    nt.putValue(QLatin1String(kNtVersionKey), QStringLiteral("CurrentBuildNumber"),
                regSz(QStringLiteral("19045")));
    EXPECT_EQ(nt.windowsVersion().platformId, 2u);
    EXPECT_EQ(nt.windowsVersion().major, 10u);
    EXPECT_EQ(nt.windowsVersion().build, 19045u);
}

} // namespace
