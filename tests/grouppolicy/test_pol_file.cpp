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

// The records in order, as a client applies them to an empty key, in any case of key and name.
TEST(PolFile, ReadsAsTheRegistryAClientMakesOfIt) {
    const QString k = u"Software\\Policies\\K"_s;
    // A text record's data: UTF-16LE with its terminating 0.
    const auto sz = [](const QString& text) {
        QByteArray out;
        for (const QChar c : QString(text + QChar(0)))
            out.append(char(c.unicode())).append('\0');
        return out;
    };
    PolFile file;
    file.records = {PolRecord::dwordRecord(k, u"A"_s, 1),
                    PolRecord::dwordRecord(k, u"B"_s, 2),
                    PolRecord::dwordRecord(k + u"\\Sub"_s, u"S"_s, 3),
                    PolRecord::deletion(k, u"A"_s),
                    {k, u"**soft.C"_s, REG_DWORD, regDword(4).data},
                    {k, u"**DeleteValues"_s, REG_SZ, sz(u"B;Z"_s)},
                    {k.toUpper() + u'\\', u"**soft.B"_s, REG_DWORD, regDword(5).data},
                    {k, QString(), REG_NONE, {}},
                    {u"Software\\Policies"_s, u"**DeleteKeys"_s, REG_SZ, sz(u"K\\Sub"_s)}};
    const struct {
        const char* name;
        std::optional<quint32> value;
    } cases[] = {{"a", std::nullopt}, {"B", 5}, {"c", 4}, {"Z", std::nullopt}, {"", std::nullopt}};
    for (const auto& c : cases) {
        const std::optional<RegValue> value = file.valueOf(k.toLower(), QLatin1String(c.name));
        EXPECT_EQ(value, c.value ? std::optional(regDword(*c.value)) : std::nullopt) << c.name;
    }
    EXPECT_FALSE(file.valueOf(k + u"\\sub"_s, u"S"_s));     // its key was deleted after it
    EXPECT_EQ(file.valueOf(k, u"**del.a"_s)->type, REG_SZ); // a command is read as the record it is
    EXPECT_TRUE(file.hasKey(u"software\\policies"_s));
    EXPECT_FALSE(file.hasKey(u"Software\\Pol"_s));

    // Set and delete speak of a value and every record for it: set replaces the first where it
    // stands in the file's spelling and drops the rest; delete drops them all.
    PolFile edited = file;
    EXPECT_TRUE(edited.setRecord(k.toLower(), u"b"_s, regDword(2)));
    EXPECT_EQ(edited.records[1], PolRecord::dwordRecord(k, u"B"_s, 2));
    EXPECT_EQ(edited.records.size(), file.records.size() - 1); // "**soft.B" went
    EXPECT_FALSE(edited.setRecord(k, u"B"_s, regDword(2)));
    EXPECT_TRUE(edited.setRecord(k, u"A"_s, regDword(9)));
    EXPECT_EQ(edited.records[0], PolRecord::dwordRecord(k, u"A"_s, 9));
    EXPECT_EQ(edited.recordFor(k, u"**del.A"_s), 0);
    EXPECT_TRUE(edited.setRecord(k, u"New"_s, regDword(1)));
    EXPECT_EQ(edited.records.last(), PolRecord::dwordRecord(k, u"New"_s, 1));
    EXPECT_TRUE(edited.removeRecords(k, u"c"_s));
    EXPECT_FALSE(edited.removeRecords(k, u"c"_s));
    EXPECT_EQ(edited.recordFor(k, u"C"_s), -1);
}

} // namespace
} // namespace tavimor::test
