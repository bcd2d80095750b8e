// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/PolFile.h"
#include "registry/RegistryBackend.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavimor::test {
namespace {

// A record as the format lays it out, written out by hand.
QByteArray rawRecord(const char16_t* key, const char16_t* name, quint32 type, const QByteArray& data) {
    QByteArray out;
    auto unit = [&](char16_t c) {
        out.append(char(c & 0xFF));
        out.append(char(c >> 8));
    };
    auto dword = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    unit(u'[');
    for (const char16_t* c = key; *c; ++c)
        unit(*c);
    unit(0);
    unit(u';');
    for (const char16_t* c = name; *c; ++c)
        unit(*c);
    unit(0);
    unit(u';');
    dword(type);
    unit(u';');
    dword(quint32(data.size()));
    unit(u';');
    out.append(data);
    unit(u']');
    return out;
}

const QByteArray kHeader("PReg\x01\x00\x00\x00", 8);

TEST(PolFile, LaysOutRecordsAsTheFormatSays) {
    PolFile file;
    file.records = {PolRecord::dwordRecord(u"Software\\Policies\\Ä"_s, u"NoRun"_s, 1),
                    PolRecord::deletion(u"Software\\X"_s, u"NoFind"_s)};
    const QByteArray expected =
        kHeader + rawRecord(u"Software\\Policies\\Ä", u"NoRun", REG_DWORD, QByteArray("\x01\0\0\0", 4)) +
        rawRecord(u"Software\\X", u"**del.NoFind", REG_SZ, QByteArray(" \0\0\0", 4));
    EXPECT_EQ(file.serialize(), expected);

    const std::optional<PolFile> read = PolFile::parse(expected);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->records, file.records);
    EXPECT_EQ(read->records[0].dword(), 1u);
    EXPECT_FALSE(read->records[0].isDeletion());
    EXPECT_TRUE(read->records[1].isDeletion());
    EXPECT_EQ(read->records[1].targetName(), "NoFind"_L1);
    EXPECT_FALSE(read->records[1].dword());
}

TEST(PolFile, KeepsWhatItDoesNotInterpretByteForByte) {
    // Key-only records, **delvals., binary data with brackets inside, a lone surrogate, an empty file.
    const QByteArray bytes = kHeader + rawRecord(u"Software\\A", u"", REG_NONE, {}) +
                             rawRecord(u"Software\\A", u"**delvals.", REG_SZ, QByteArray(" \0\0\0", 4)) +
                             rawRecord(u"Software\\B", u"Blob", REG_BINARY, QByteArray("[;]\0\xff", 5)) +
                             rawRecord(u"Software\\\xD800", u"Odd", 99, QByteArray(3, 'x'));
    const std::optional<PolFile> read = PolFile::parse(bytes);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->records.size(), 4);
    EXPECT_FALSE(read->records[1].isDeletion()); // **delvals. deletes a whole key, not a value
    EXPECT_EQ(read->records[2].data, QByteArray("[;]\0\xff", 5));
    EXPECT_EQ(read->serialize(), bytes);
    EXPECT_EQ(PolFile::parse(kHeader)->records.size(), 0);
}

TEST(PolFile, RefusesWhatIsNotAPolicyFile) {
    const QByteArray good = kHeader + rawRecord(u"K", u"V", REG_DWORD, QByteArray(4, '\0'));
    QString error;
    EXPECT_FALSE(PolFile::parse("", &error));
    EXPECT_FALSE(PolFile::parse("REGEDIT4\r\n", &error));
    EXPECT_EQ(error, "not a Registry.pol file (no PReg signature)"_L1);
    EXPECT_FALSE(PolFile::parse(QByteArray("PReg\x02\x00\x00\x00", 8), &error));
    EXPECT_EQ(error, "version 2 is not the known version 1"_L1);
    // Every cut inside the record and a size that runs past the end are refused.
    for (qsizetype cut = kHeader.size() + 1; cut < good.size(); ++cut)
        EXPECT_FALSE(PolFile::parse(good.left(cut))) << cut;
    QByteArray tooLong = good;
    tooLong[kHeader.size() + 20] = 5; // the size field: 5 bytes of data, only 4 there before ]
    EXPECT_FALSE(PolFile::parse(tooLong, &error));
    EXPECT_TRUE(error.startsWith("the record at byte 8 "_L1)) << error.toStdString();
}

} // namespace
} // namespace tavimor::test
