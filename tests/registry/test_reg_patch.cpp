// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/RegPatch.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavimor {
void PrintTo(const RegPatch::Change& c, std::ostream* os) {
    *os << int(c.kind) << " " << c.keyPath.toStdString() << " [" << c.name.toStdString() << "] "
        << c.value.type << ":" << c.value.data.toHex().constData() << " @" << c.line;
}
} // namespace tavimor

using namespace tavimor;

namespace {

using Kind = RegPatch::Change::Kind;

const QString kKey = u"HKEY_CURRENT_USER\\Software\\Policies\\Test"_s;

QByteArray utf16(const QString& text) {
    return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

RegPatch parsed(const QByteArray& bytes) {
    QString error;
    int line = 0;
    std::optional<RegPatch> patch = RegPatch::parse(bytes, &error, &line);
    EXPECT_TRUE(patch) << line << ": " << error.toStdString();
    return patch.value_or(RegPatch());
}

QList<RegPatch::Change> withoutLines(QList<RegPatch::Change> changes) {
    for (RegPatch::Change& change : changes)
        change.line = 0;
    return changes;
}

// What regedit writes, with the value kinds a policy file holds and the ones it may pass on.
const QString kVersion5 = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                         "[HKEY_CURRENT_USER\\Software\\Policies\\Test]\r\n"
                                         "\"NoRun\"=dword:00000001\r\n"
                                         "@=\"caf\u00e9 \\\\ \\\"q\\\"\"\r\n"
                                         "\"Bytes\"=hex:01,02,\\\r\n  03\r\n"
                                         "\"Path\"=hex(2):25,00,00,00\r\n"
                                         "\"Gone\"=-\r\n\r\n"
                                         "[-hkey_local_machine\\Software\\Old]\r\n"
                                         "\"Ignored\"=dword:00000002\r\n\r\n");

} // namespace

TEST(RegPatch, ReadsEveryEncodingRegeditAndUsersWrite) {
    const QList<RegPatch::Change> expected{
        {Kind::CreateKey, kKey, {}, {}, 3},
        {Kind::SetValue, kKey, u"NoRun"_s, {REG_DWORD, QByteArray("\1\0\0\0", 4)}, 4},
        {Kind::SetValue, kKey, QString(), {REG_SZ, QByteArray("caf\xE9 \\ \"q\"\0", 11)}, 5},
        {Kind::SetValue, kKey, u"Bytes"_s, {REG_BINARY, QByteArray("\1\2\3")}, 6},
        {Kind::SetValue, kKey, u"Path"_s, {REG_EXPAND_SZ, QByteArray("%\0\0\0", 4)}, 8},
        {Kind::DeleteValue, kKey, u"Gone"_s, {}, 9},
        {Kind::DeleteKey, u"HKEY_LOCAL_MACHINE\\Software\\Old"_s, {}, {}, 11},
    };
    const RegPatch wide = parsed(utf16(kVersion5));
    EXPECT_EQ(wide.format(), RegFormat::Version5);
    EXPECT_EQ(wide.changes(), expected);
    EXPECT_EQ(parsed(kVersion5.toUtf8()).changes(), expected);
    EXPECT_EQ(parsed("\xEF\xBB\xBF" + kVersion5.toUtf8()).changes(), expected);
    QString regedit4 = kVersion5;
    regedit4.replace(u"Windows Registry Editor Version 5.00"_s, u"REGEDIT4"_s);
    const RegPatch ansi = parsed(regedit4.toLatin1());
    EXPECT_EQ(ansi.format(), RegFormat::Regedit4);
    EXPECT_EQ(ansi.changes(), expected);
    // Bare LF line ends read the same.
    EXPECT_EQ(parsed(regedit4.toLatin1().replace("\r\n", "\n")).changes(), expected);
}

TEST(RegPatch, WritesWhatItReadsInBothFormats) {
    RegPatch patch;
    patch.setValue(kKey, u"NoRun"_s, {REG_DWORD, QByteArray("\1\0\0\0", 4)});
    patch.deleteValue(u"hkey_local_machine\\Software\\Lm"_s, u"MinPwdLen"_s);
    patch.setValue(kKey, u"Text"_s, {REG_SZ, QByteArray("\xE9t\xE9\0", 4)});
    patch.setValue(kKey, u"Long"_s, {REG_BINARY, QByteArray(100, '\x7f')});

    const QByteArray wide = patch.serialize(RegFormat::Version5);
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(wide.constData() + 2), (wide.size() - 2) / 2);
    EXPECT_TRUE(wide.startsWith("\xFF\xFEW\0i\0"));
    EXPECT_TRUE(text.startsWith(u"Windows Registry Editor Version 5.00\r\n\r\n["_s + kKey +
                                u"]\r\n\"NoRun\"=dword:00000001\r\n\"Text\"=\"\u00e9t\u00e9\"\r\n"_s));
    EXPECT_TRUE(text.contains(u"\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Lm]\r\n\"MinPwdLen\"=-\r\n\r\n"_s));
    EXPECT_EQ(withoutLines(parsed(wide).changes()).size(), 6);
    for (const QString& line : text.split(u"\r\n"_s))
        EXPECT_LE(line.size(), 80);

    // REGEDIT4 has no deletions; everything else reads back as it was.
    const QByteArray ansi = patch.serialize(RegFormat::Regedit4);
    EXPECT_TRUE(ansi.startsWith("REGEDIT4\r\n\r\n["));
    EXPECT_TRUE(ansi.contains("\"Text\"=\"\xE9t\xE9\"\r\n"));
    EXPECT_FALSE(ansi.contains("MinPwdLen"));
    QList<RegPatch::Change> sets;
    for (const RegPatch::Change& change : patch.changes())
        if (change.kind == Kind::SetValue)
            sets.append(change);
    QList<RegPatch::Change> read = withoutLines(parsed(ansi).changes());
    ASSERT_EQ(read.size(), 4);
    EXPECT_EQ(read.first().kind, Kind::CreateKey);
    EXPECT_EQ(read.mid(1), sets);
}

TEST(RegPatch, ADamagedFileNamesItsLine) {
    const QByteArray key = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const struct {
        QByteArray bytes;
        int line;
        const char* reason;
    } cases[] = {
        {"REGEDIT5\r\n", 1, "first line"},
        {utf16(u"REGEDIT4"_s) + "x", 1, "odd number"},
        {key + "\"a\"=\"\xE9\"\r\n", 4, "not UTF-8"},
        {"REGEDIT4\r\n\"a\"=dword:1\r\n", 2, "before any key"},
        {"REGEDIT4\r\n[HKEY_CURRENT_CONFIG\\K]\r\n", 2, "HKEY_USERS"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\\\K]\r\n", 2, "empty part"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K\r\n", 2, "closing ]"},
        {key + "\"a\"=hex:01,\\\r\n  0g\r\n", 5, "\"0g\""},
        {key + "\"a\"=dword:123456789\r\n", 4, "dword"},
        {key + "stray\r\n", 4, "unreadable"},
        {utf16(QString::fromUtf8(key) + u"\"a\"=\"\u20ac\"\r\n"_s), 4, "Latin-1"},
    };
    for (const auto& c : cases) {
        QString error;
        int line = 0;
        EXPECT_FALSE(RegPatch::parse(c.bytes, &error, &line)) << c.bytes.constData();
        EXPECT_EQ(line, c.line) << c.bytes.constData();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}
