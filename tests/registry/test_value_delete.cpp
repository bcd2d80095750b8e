// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "registry/RegEditFile.h"
#include "registry/RegFileBackend.h"
#include "registry/WineRegFile.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

const QString kPath = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;

struct BackendCase {
    const char* name;
    // A fresh backend in dir; the second call on the same dir sees what the first one saved.
    std::function<std::unique_ptr<RegistryBackend>(const QTemporaryDir& dir)> make;
};

// The Wine prefix deletes in its files and through reg against a real Wine, in test_wine_real.
const BackendCase kCases[] = {
    {"Memory",
     [](const QTemporaryDir&) -> std::unique_ptr<RegistryBackend> {
         return std::make_unique<MemoryBackend>();
     }},
    {"RegFile",
     [](const QTemporaryDir& dir) -> std::unique_ptr<RegistryBackend> {
         QString error;
         auto backend = RegFileBackend::open(dir.filePath(u"registry.reg"_s), u"PC"_s, &error);
         EXPECT_TRUE(backend) << error.toStdString();
         return backend;
     }},
};

class ValueDelete : public ::testing::TestWithParam<BackendCase> {
protected:
    void SetUp() override {
        m_backend = GetParam().make(m_dir);
        ASSERT_TRUE(m_backend);
        MSDNRegistry registry(*m_backend);
        registry.CreateRegKey(kPath, HKEY_CURRENT_USER);
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::integer(1), REG_DWORD);
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"Kept"_s, RegDatum::text(u"x"_s), REG_SZ);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<RegistryBackend> m_backend;
};

} // namespace

TEST_P(ValueDelete, RemovesOnlyThatValueAndSaysWhenNothingWasThere) {
    MSDNRegistry registry(*m_backend);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, kPath, u"norun"_s), ERROR_SUCCESS);
    EXPECT_TRUE(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s).isNothing());
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"Kept"_s), RegDatum::text(u"x"_s));

    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, kPath + u"\\Missing"_s, u"Kept"_s),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_backend->deleteValue(0x7777, u"Kept"_s), ERROR_INVALID_HANDLE);

    // A fresh instance on the same store agrees: the delete was saved.
    if (std::string(GetParam().name) == "Memory")
        return;
    const std::unique_ptr<RegistryBackend> again = GetParam().make(m_dir);
    ASSERT_TRUE(again);
    MSDNRegistry reread(*again);
    EXPECT_TRUE(reread.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s).isNothing());
    EXPECT_EQ(reread.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"Kept"_s), RegDatum::text(u"x"_s));
}

INSTANTIATE_TEST_SUITE_P(Backends, ValueDelete, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BackendCase>& info) { return info.param.name; });

TEST(ValueDeleteInFiles, RegEditFileDropsTheLinesAndKeepsTheRestByteForByte) {
    const QByteArray text = "REGEDIT4\r\n\r\n; keep me\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"
                            "\"Gone\"=dword:00000001\r\n"
                            "\"Stay\"=hex:00,01,\\\r\n  02\r\n"
                            "\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"
                            "\"gone\"=hex:00,\\\r\n  01\r\n"
                            "\"Last\"=\"x\"";
    std::optional<RegEditFile> file = RegEditFile::parse(text);
    ASSERT_TRUE(file);
    const QString key = u"HKEY_CURRENT_USER\\Software\\T"_s;
    EXPECT_TRUE(file->removeValue(key, u"GONE"_s));
    // The older line of the same value goes too, or it would come back on the next read.
    EXPECT_EQ(file->serialize(),
              QByteArray("REGEDIT4\r\n\r\n; keep me\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"
                         "\"Stay\"=hex:00,01,\\\r\n  02\r\n"
                         "\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"
                         "\"Last\"=\"x\""));
    EXPECT_FALSE(file->value(key, u"Gone"_s));
    EXPECT_FALSE(file->removeValue(key, u"Gone"_s));
    EXPECT_TRUE(file->removeValue(key, u"Last"_s));
    EXPECT_TRUE(file->serialize().endsWith("\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"));
}

TEST(ValueDeleteInFiles, WineRegFileDropsTheLinesAndRenewsTheKeyTime) {
    const QByteArray kUserReg =
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n";
    const QByteArray text = kUserReg + "\n[Software\\\\T] 1700000000\n#time=1da1747c66d0000\n"
                                       "\"A\"=dword:00000001\n\"B\"=hex:01,\\\n  02\n\n"
                                       "[Software\\\\U] 1700000000\n#time=1da1747c66d0000\n\"A\"=\"u\"\n";
    std::optional<WineRegFile> file = WineRegFile::parse(text);
    ASSERT_TRUE(file);
    const qint64 later = WineRegFile::kUnixEpochFileTime + 1796561295LL * 10000000;
    EXPECT_TRUE(file->removeValue(u"software\\t"_s, u"b"_s, later));
    EXPECT_EQ(file->serialize(), kUserReg +
                                     "\n[Software\\\\T] 1796561295\n#time=1dd85800f4d1180\n"
                                     "\"A\"=dword:00000001\n\n"
                                     "[Software\\\\U] 1700000000\n#time=1da1747c66d0000\n\"A\"=\"u\"\n");
    EXPECT_EQ(file->modified(u"Software\\T"_s), later);
    EXPECT_FALSE(file->removeValue(u"Software\\T"_s, u"B"_s, later));
    EXPECT_FALSE(file->removeValue(u"Software\\None"_s, u"A"_s, later));
}
