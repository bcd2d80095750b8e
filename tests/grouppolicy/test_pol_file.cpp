// SPDX-License-Identifier: GPL-3.0-or-later
#include "grouppolicy/PolFile.h"
#include "registry/RegistryBackend.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavimor::test {
namespace {

// A record as the format lays it out, written out by hand: UTF-16LE units, a DWORD as two of them.
QByteArray rawRecord(const QString& key, const QString& name, quint32 type, const QByteArray& data) {
    const auto dword = [](quint32 v) -> QString {
        return QString(QChar(char16_t(v))) + QChar(char16_t(v >> 16));
    };
    QByteArray out;
    const auto units = [&out](const QString& text) {
        for (const QChar c : text)
            out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    };
    units(u'[' + key + QChar(0) + u';' + name + QChar(0) + u';' + dword(type) + u';' +
          dword(quint32(data.size())) + u';');
    out.append(data);
    units(u"]"_s);
    return out;
}

const QByteArray kHeader("PReg\x01\x00\x00\x00", 8);

// Samba's own parser reads what we write and writes what we read: test_samba_pol.
TEST(PolFile, ReadsEveryRecordAndWritesItBackByteForByte) {
    // A value, a deletion, a key-only record, **delvals., binary data with brackets inside, a lone surrogate.
    const QByteArray bytes =
        kHeader + rawRecord(u"Software\\Policies\\Ä"_s, u"NoRun"_s, REG_DWORD, QByteArray("\x01\0\0\0", 4)) +
        rawRecord(u"Software\\X"_s, u"**del.NoFind"_s, REG_SZ, QByteArray(" \0\0\0", 4)) +
        rawRecord(u"Software\\A"_s, QString(), REG_NONE, {}) +
        rawRecord(u"Software\\A"_s, u"**delvals."_s, REG_SZ, QByteArray(" \0\0\0", 4)) +
        rawRecord(u"Software\\B"_s, u"Blob"_s, REG_BINARY, QByteArray("[;]\0\xff", 5)) +
        rawRecord(u"Software\\"_s + QChar(0xD800), u"Odd"_s, 99, QByteArray(3, 'x'));
    const std::optional<PolFile> read = PolFile::parse(bytes);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->records.size(), 6);
    EXPECT_EQ(read->records[0], PolRecord::dwordRecord(u"Software\\Policies\\Ä"_s, u"NoRun"_s, 1));
    EXPECT_EQ(read->records[1], PolRecord::deletion(u"Software\\X"_s, u"NoFind"_s));
    EXPECT_TRUE(read->records[1].isDeletion());
    EXPECT_EQ(read->records[1].targetName(), "NoFind"_L1);
    EXPECT_FALSE(read->records[3].isDeletion()); // **delvals. deletes a whole key, not a value
    EXPECT_EQ(read->records[4].data, QByteArray("[;]\0\xff", 5));
    EXPECT_EQ(read->serialize(), bytes);
    EXPECT_EQ(PolFile::parse(kHeader)->records.size(), 0);
}

TEST(PolFile, RefusesWhatIsNotAPolicyFile) {
    const QByteArray good = kHeader + rawRecord(u"K"_s, u"V"_s, REG_DWORD, QByteArray(4, '\0'));
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
