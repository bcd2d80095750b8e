// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/regfile/RegEditFile.h"
#include "registry/regfile/RegPatch.h"

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

// What regedit writes, with the value kinds a policy file holds and the ones it may pass on.
const QString kVersion5 = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                         "[HKEY_CURRENT_USER\\Software\\Policies\\Test]\r\n"
                                         "\"NoRun\"=dword:00000001\r\n"
                                         "@=\"caf\u00e9 \\\\ \\\"q\\\"\"\r\n"
                                         "\"Bytes\"=hex:01,02,\\\r\n  03\r\n"
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
        {Kind::DeleteValue, kKey, u"Gone"_s, {}, 8},
        {Kind::DeleteKey, u"HKEY_LOCAL_MACHINE\\Software\\Old"_s, {}, {}, 10},
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

// A text given as hex(1) bytes is UTF-16LE in version 5, as hex(2) is, not the quoted form's UTF-8.
TEST(RegPatch, Hex1TextIsUtf16InVersion5AndAsGivenInRegedit4) {
    const QString line = u"[%1]\r\n\"Raw\"=hex(1):41,00,e9,00,00,00\r\n"_s.arg(kKey);
    const auto value = [](const std::optional<RegPatch>& patch) {
        return patch && patch->changes().size() == 2 ? patch->changes()[1].value : RegValue();
    };
    const QByteArray wide = utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"_s + line);
    EXPECT_EQ(value(RegPatch::parse(wide, nullptr, nullptr)), (RegValue{REG_SZ, QByteArray("A\xE9\0", 3)}));
    EXPECT_EQ(value(RegPatch::parse(wide, nullptr, nullptr, RegText::Utf16)),
              (RegValue{REG_SZ, QByteArray("A\0\xE9\0\0\0", 6)}));
    EXPECT_EQ(value(RegPatch::parse((u"REGEDIT4\r\n\r\n"_s + line).toLatin1(), nullptr, nullptr)),
              (RegValue{REG_SZ, QByteArray("A\0\xE9\0\0\0", 6)}));
}

TEST(RegPatch, WritesWhatItReadsInBothFormats) {
    RegPatch patch;
    patch.setValue(kKey, u"NoRun"_s, {REG_DWORD, QByteArray("\1\0\0\0", 4)});
    patch.deleteValue(u"hkey_local_machine\\Software\\Lm"_s, u"MinPwdLen"_s);
    patch.setValue(kKey, u"Text"_s, {REG_SZ, QByteArray("\xE9t\xE9\0", 4)});
    const QString values =
        u"[%1]\r\n\"NoRun\"=dword:00000001\r\n\"Text\"=\"\u00e9t\u00e9\"\r\n\r\n"_s.arg(kKey);

    const QByteArray wide = patch.serialize(RegFormat::Version5);
    EXPECT_EQ(wide, utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"_s + values +
                          u"[HKEY_LOCAL_MACHINE\\Software\\Lm]\r\n\"MinPwdLen\"=-\r\n\r\n"_s));
    // REGEDIT4 has no deletions. Reading such files back: ReadsEveryEncodingRegeditAndUsersWrite.
    EXPECT_EQ(patch.serialize(RegFormat::Regedit4), (u"REGEDIT4\r\n\r\n"_s + values).toLatin1());
}

// The two readers share the line syntax; each reads its own header and counts its own lines.
TEST(RegPatch, BothReadersNameTheLineOfEachBrokenConstruct) {
    const QByteArray key = "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const QByteArray key5 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const struct {
        QByteArray text;
        int line;
        const char* reason;
        bool patchOnly = false;
    } cases[] = {
        {"", 1, "REGEDIT4"},
        {"REGEDIT5\r\n[HKEY_CURRENT_USER\\K]\r\n", 1, "REGEDIT4"},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K\r\n", 3, "closing ]"},
        {"REGEDIT4\r\n[]\r\n", 2, "key name"},
        {"REGEDIT4\r\n; c\r\n\"a\"=dword:1\r\n", 3, "before any key"},
        {key + "\"a\"=\"abc\r\n", 3, "closing quote"},
        {key + "\"a\"=\"a\\n\"\r\n", 3, "escape"},
        {key + "\"a=\"x\"\r\n", 3, "missing ="},
        {key + "\"a\"=\"x\"y\r\n", 3, "after the closing quote"},
        {key + "\"a\"=dword:123456789\r\n", 3, "dword"},
        {key + "\"a\"=hex:01,zz\r\n", 3, "\"zz\""},
        {key + "\"a\"=hex(x):01\r\n", 3, "hex(...)"},
        {key + "\"a\"=hex:01,\\\r\n  0g\r\n", 4, "\"0g\""},
        {key + "\r\n\"a\"=hex:01,\\\r\n  02,\\\r\n", 4, "past the end"},
        {key + "\"a\"=hex:01,\\", 3, "past the end"},
        {key + "\"a\"=qword:1\r\n", 3, "unknown value type"},
        {key + "\"a\"=dword:1\r\nstray text\r\n", 4, "unreadable"},
        // What Windows cannot hold: deeper than 512 levels, a name over 255 characters, a NUL in a name.
        {"REGEDIT4\r\n[HKEY_CURRENT_USER" + QByteArray("\\K").repeated(513) + "]\r\n", 2, "512 levels deep"},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + QByteArray(256, 'k') + "]\r\n", 3, "255 characters"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K" + QByteArray(1, '\0') + "]\r\n", 2, "NUL character"},
        // What only a file to import is held to.
        {utf16(u"REGEDIT4"_s) + "x", 1, "odd number", true},
        {key5 + "\"a\"=\"\xE9\"\r\n", 4, "not UTF-8", true},
        {utf16(QString::fromUtf8(key5) + u"\"a\"=\"\u20ac\"\r\n"_s), 4, "Latin-1", true},
        {"REGEDIT4\r\n[HKEY_CURRENT_CONFIG\\K]\r\n", 2, "HKEY_USERS", true},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\\\K]\r\n", 2, "empty part", true},
    };
    // The limits themselves are taken.
    const QList<QByteArray> fitting{"REGEDIT4\r\n[HKEY_CURRENT_USER" + QByteArray("\\K").repeated(512) +
                                        "]\r\n",
                                    "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + QByteArray(255, 'k') + "]\r\n"};
    for (const QByteArray& fits : fitting) {
        QString error;
        int line = 0;
        EXPECT_TRUE(RegPatch::parse(fits, &error, &line)) << error.toStdString();
        EXPECT_TRUE(RegEditFile::parse(fits, &error, &line)) << error.toStdString();
    }
    for (const auto& c : cases) {
        for (const bool patch : {true, false}) {
            if (c.patchOnly && !patch)
                continue;
            SCOPED_TRACE((patch ? "RegPatch: " : "RegEditFile: ") + c.text.toStdString());
            QString error;
            int line = 0;
            EXPECT_FALSE(patch ? bool(RegPatch::parse(c.text, &error, &line))
                               : bool(RegEditFile::parse(c.text, &error, &line)));
            EXPECT_EQ(line, c.line);
            EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        }
    }
}
