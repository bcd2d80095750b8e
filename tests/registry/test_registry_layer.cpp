// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "support/RecordingErrorHandler.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

const QString kPath = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;
const QString kFull = u"HKEY_CURRENT_USER\\"_s + kPath;

class RegistryLayer : public ::testing::Test {
protected:
    MemoryBackend backend;
    MSDNRegistry registry{backend};
};

TEST_F(RegistryLayer, ReadsGiveNothingForMissingKeysValuesAndOtherTypes) {
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s).isNothing());
    backend.putValue(kFull, u"Bin"_s, RegValue{REG_BINARY, QByteArray("\x01\0\0\0", 4)});
    backend.putValue(kFull, u"Text"_s, regSz(u"abc"_s));
    backend.putValue(kFull, u"Num"_s, regDword(0xFFFFFFFF));
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s).isNothing());
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"Bin"_s).isNothing());
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"text"_s), RegDatum::text(u"abc"_s));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"Num"_s).toText(), u"-1"_s);
    EXPECT_TRUE(registry.ReadKeyValue(0, kPath, u"Num"_s).isNothing());

    HKEY key = 0;
    ASSERT_EQ(backend.openKey(HKEY_CURRENT_USER, kPath, KEY_TAVIMOR_ACCESS, &key), ERROR_SUCCESS);
    RegDatum datum = RegDatum::text(u"untouched"_s);
    EXPECT_EQ(registry.ReadRegValue(key, u"Bin"_s, datum), -1);
    EXPECT_EQ(datum, RegDatum::text(u"untouched"_s));
    EXPECT_EQ(registry.ReadRegValue(key, u"Missing"_s, datum), ERROR_FILE_NOT_FOUND);
    backend.closeKey(key);
    EXPECT_EQ(backend.openHandleCount(), 0);
}

TEST_F(RegistryLayer, WritesNeedTheKeyAndStoreLittleEndianDwords) {
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::text(u"1"_s), REG_DWORD);
    EXPECT_FALSE(backend.value(kFull, u"NoRun"_s).has_value());
    EXPECT_FALSE(backend.hasKey(kFull));

    registry.CreateRegKey(kPath, HKEY_CURRENT_USER);
    EXPECT_EQ(backend.lastAccess(), 0x3Fu);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::text(u"1"_s), REG_DWORD);
    EXPECT_EQ(backend.lastAccess(), 0x3Fu);
    EXPECT_EQ(backend.value(kFull, u"NoRun"_s), (RegValue{REG_DWORD, QByteArray("\x01\0\0\0", 4)}));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s), RegDatum::integer(1));

    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"S"_s, RegDatum::text(u"abc"_s), REG_SZ);
    EXPECT_EQ(backend.value(kFull, u"S"_s)->data, QByteArray("abc\0", 4));
    // Types other than REG_SZ and REG_DWORD, and texts that are no number, write nothing.
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"B"_s, RegDatum::integer(1), REG_BINARY);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"N"_s, RegDatum::text(u"Null"_s), REG_DWORD);
    EXPECT_FALSE(backend.value(kFull, u"B"_s).has_value());
    EXPECT_FALSE(backend.value(kFull, u"N"_s).has_value());
    // The unknown hive writes nothing anywhere.
    registry.CreateRegKey(kPath, GetKeyValue(u"HKEY_FOO"_s));
    EXPECT_EQ(backend.writeCount(), 2);
    EXPECT_EQ(backend.openHandleCount(), 0);
}

TEST(RegistryHelpers, HiveNamesPowerAndConversions) {
    for (const auto& [name, hive] :
         {std::pair{"HKEY_CLASSES_ROOT", 0x80000000u}, std::pair{"HKEY_CURRENT_USER", 0x80000001u},
          std::pair{"HKEY_LOCAL_MACHINE", 0x80000002u}, std::pair{"HKEY_USERS", 0x80000003u},
          std::pair{"hkey_local_machine", 0u}, std::pair{"HKEY_CURRENT_CONFIG", 0u}})
        EXPECT_EQ(GetKeyValue(QLatin1String(name)), hive) << name;

    test::RecordingErrorHandler errors;
    EXPECT_EQ(qRound(Power(2, 0, errors)), 1);
    for (int i = 0; i <= 25; ++i)
        EXPECT_EQ(qRound(Power(2, i, errors)), 1 << i);
    EXPECT_TRUE(errors.reports.isEmpty());
    EXPECT_EQ(Power(0, 3, errors), 0.0);
    EXPECT_EQ(Power(10, 400, errors), 0.0);
    ASSERT_EQ(errors.reports.size(), 2);
    EXPECT_EQ(errors.reports[0].source, u"bGlobal.Power"_s);

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
    for (const SeedValue& seed : windows98Seed(u"OFFICE-7"_s))
        backend.putValue(seed.keyPath, seed.name, seed.value);
    const WindowsVersion v = backend.windowsVersion();
    EXPECT_EQ(std::tuple(v.platformId, v.major, v.minor, v.build, v.name),
              std::tuple(1u, 4u, 10u, 2222u, u"Windows 98"_s));
    EXPECT_EQ(MSDNRegistry(backend).GetSystemName(), u"OFFICE-7"_s);

    MemoryBackend nt;
    nt.putValue(QLatin1String(kNtVersionKey), u"CurrentMajorVersionNumber"_s, regDword(10));
    nt.putValue(QLatin1String(kNtVersionKey), u"CurrentMinorVersionNumber"_s, regDword(0));
    nt.putValue(QLatin1String(kNtVersionKey), u"CurrentBuildNumber"_s, regSz(u"19045"_s));
    EXPECT_EQ(nt.windowsVersion().platformId, 2u);
    EXPECT_EQ(nt.windowsVersion().major, 10u);
    EXPECT_EQ(nt.windowsVersion().build, 19045u);
}

} // namespace
