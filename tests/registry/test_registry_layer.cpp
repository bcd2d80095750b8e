// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "registry/regfile/RegPatchImport.h"
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

// Missing keys and values, and names in any case: test_backend_contract.
TEST_F(RegistryLayer, ReadsGiveNothingForOtherTypesAndHives) {
    backend.putValue(kFull, u"Bin"_s, RegValue{REG_BINARY, QByteArray("\x01\0\0\0", 4)});
    backend.putValue(kFull, u"Num"_s, regDword(0xFFFFFFFF));
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"Bin"_s).isNothing());
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"Num"_s).toText(), u"-1"_s);
    EXPECT_TRUE(registry.ReadKeyValue(0, kPath, u"Num"_s).isNothing());

    HKEY key = 0;
    ASSERT_EQ(backend.openKey(HKEY_CURRENT_USER, kPath, KEY_TAVIMOR_ACCESS, &key), ERROR_SUCCESS);
    RegDatum datum = RegDatum::text(u"untouched"_s);
    EXPECT_EQ(registry.ReadRegValue(key, u"Bin"_s, datum), -1);
    EXPECT_EQ(datum, RegDatum::text(u"untouched"_s));
    backend.closeKey(key);
    EXPECT_EQ(backend.openHandleCount(), 0);
}

// "Not there" and "could not be read" are different answers, in both reads.
TEST_F(RegistryLayer, AReadThatFailsIsUnreadWithItsReasonNeverNothing) {
    backend.putValue(kFull, u"NoRun"_s, regDword(1));
    backend.failUnder(kFull, u"wine reg export crashed"_s);
    const RegDatum datum = registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s);
    EXPECT_EQ(datum, RegDatum::unread(u"wine reg export crashed"_s));
    EXPECT_EQ(datum.toInteger(), std::nullopt);
    QString why;
    EXPECT_FALSE(readRegValue(backend, HKEY_CURRENT_USER, kPath, u"NoRun"_s, &why));
    EXPECT_EQ(why, u"wine reg export crashed"_s);
    // Beside it, what is not there is still nothing, and says no reason.
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, u"Software\\None"_s, u"NoRun"_s).isNothing());
    EXPECT_FALSE(readRegValue(backend, HKEY_CURRENT_USER, u"Software\\None"_s, u"NoRun"_s, &why));
    EXPECT_EQ(why, QString());
}

TEST_F(RegistryLayer, WritesNeedTheKeyAndStoreLittleEndianDwords) {
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::text(u"1"_s), REG_DWORD);
    EXPECT_FALSE(backend.hasKey(kFull));

    registry.CreateRegKey(kPath, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::text(u"1"_s), REG_DWORD);
    EXPECT_EQ(backend.value(kFull, u"NoRun"_s), (RegValue{REG_DWORD, QByteArray("\x01\0\0\0", 4)}));

    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"S"_s, RegDatum::text(u"abc"_s), REG_SZ);
    EXPECT_EQ(backend.value(kFull, u"S"_s)->data, QByteArray("abc\0", 4));
    // Types other than REG_SZ and REG_DWORD, and texts that are no number, write nothing.
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"B"_s, RegDatum::integer(1), REG_BINARY);
    registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"N"_s, RegDatum::text(u"Null"_s), REG_DWORD);
    // Nor does the unknown hive, anywhere: two writes in all.
    registry.CreateRegKey(kPath, GetKeyValue(u"HKEY_FOO"_s));
    EXPECT_EQ(backend.writeCount(), 2);
    EXPECT_EQ(backend.openHandleCount(), 0);
}

TEST(RegistryHelpers, HiveNamesPowerAndConversions) {
    // Hive names are exact: no other case, no other hive.
    for (const char* name : {"hkey_local_machine", "HKEY_CURRENT_CONFIG"})
        EXPECT_EQ(GetKeyValue(QLatin1String(name)), 0u) << name;

    test::RecordingErrorHandler errors;
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
}

} // namespace
