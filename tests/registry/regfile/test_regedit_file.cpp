// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MemoryBackend.h"
#include "registry/regfile/RegEditFile.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

const QString kKey = u"HKEY_CURRENT_USER\\Software\\Test"_s;

RegEditFile parsed(const QByteArray& text) {
    QString error;
    int line = 0;
    std::optional<RegEditFile> file = RegEditFile::parse(text, &error, &line);
    EXPECT_TRUE(file) << line << ": " << error.toStdString();
    return file.value_or(RegEditFile());
}

RegValue raw(quint32 type, const QByteArray& data) {
    return RegValue{type, data};
}

} // namespace

TEST(RegEditFile, ReadsEveryValueKindAndWritesAnUnchangedFileBackByteForByte) {
    // Either line end, mixed too; blanks, comments, deletions, and a last line without its line end.
    for (const QByteArray& eol : {QByteArray("\r\n"), QByteArray("\n")}) {
        QByteArray text = "\xEF\xBB\xBFREGEDIT4  \r\n; a comment\r\n\r\n"
                          "[HKEY_DYN_DATA\\PerfStats]\r\n"
                          "\"Multi\"=hex(7):61,00,62,00,00,\\\r\n"
                          "    00\r\n"
                          "[-HKEY_CURRENT_USER\\Old]\n"
                          "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                          "@=\"default\"\r\n"
                          "\"Gone\"=-\n"
                          "\"Text\"=\"a \\\"quoted\\\" back\\\\slash\"\r\n"
                          "\"Dword\" = dword:A\t\n"
                          "\"Bin\"=hex:01,02,ff\r\n"
                          "\"Path\"=hex(2):25,53,25,00\r\n"
                          "\"Empty\"=hex:\r\n"
                          "\"Caf\xe9\"=\"\xe9t\xe9\"\r\n"
                          "\"Last\"=\"no line end\"";
        text.replace("\r\n", eol);
        const RegEditFile file = parsed(text);
        EXPECT_EQ(file.serialize(), text);
        EXPECT_EQ(file.value(u"HKEY_DYN_DATA\\PerfStats"_s, u"Multi"_s),
                  raw(REG_MULTI_SZ, QByteArray("a\0b\0\0\0", 6)));
        EXPECT_EQ(file.value(kKey, QString()), regSz(u"default"_s));
        EXPECT_EQ(file.value(kKey.toLower(), u"TEXT"_s), regSz(u"a \"quoted\" back\\slash"_s));
        EXPECT_EQ(file.value(kKey, u"Dword"_s), regDword(10));
        EXPECT_EQ(file.value(kKey, u"Bin"_s), raw(REG_BINARY, "\x01\x02\xff"));
        EXPECT_EQ(file.value(kKey, u"Path"_s), raw(REG_EXPAND_SZ, QByteArray("%S%\0", 4)));
        EXPECT_EQ(file.value(kKey, u"Empty"_s), raw(REG_BINARY, QByteArray()));
        EXPECT_EQ(file.value(kKey, u"CAF\u00c9"_s), regSz(u"\u00e9t\u00e9"_s));
    }
}

TEST(RegEditFile, ChangingOrRemovingAValueRewritesOnlyItsLines) {
    RegEditFile file = parsed("REGEDIT4\r\n\r\n; keep me\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                              "\"Gone\"=dword:00000001\r\n"
                              "\"Keep\"=hex:01,\\\r\n  02\r\n"
                              "\"NoRun\"=hex(4):00,00,\\\r\n  00,00\r\n"
                              "\"Same\"=dword:00000007\n"
                              "\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                              "\"gone\"=hex:00,\\\r\n  01\r\n"
                              "\"Last\"=\"x\"");
    ASSERT_TRUE(file.setValue(kKey, u"norun"_s, regDword(1)));
    ASSERT_TRUE(file.setValue(kKey, u"Same"_s, regDword(7)));
    EXPECT_TRUE(file.removeValue(kKey, u"GONE"_s));
    // The older line of the same value goes too, or it would come back on the next read.
    const QByteArray after = "REGEDIT4\r\n\r\n; keep me\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                             "\"Keep\"=hex:01,\\\r\n  02\r\n"
                             "\"NoRun\"=dword:00000001\r\n"
                             "\"Same\"=dword:00000007\n"
                             "\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                             "\"Last\"=\"x\"";
    EXPECT_EQ(file.serialize(), after);
    EXPECT_EQ(parsed(after).value(kKey, u"NoRun"_s), regDword(1));
    EXPECT_FALSE(file.value(kKey, u"Gone"_s));
    EXPECT_FALSE(file.removeValue(kKey, u"Gone"_s));
    EXPECT_TRUE(file.removeValue(kKey, u"Last"_s));
    EXPECT_TRUE(file.serialize().endsWith("\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"));
}

TEST(RegEditFile, PlacesNewValuesInTheirBlockAndNewKeysAtTheEnd) {
    RegEditFile file =
        parsed("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n\"A\"=dword:00000001\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\Software\\X\\Y]\r\n\"Z\"=\"z\"");
    ASSERT_TRUE(file.setValue(kKey, u"B\"\\"_s, regSz(u"b"_s)));
    // A parent exists without a line of its own until a value needs one.
    EXPECT_TRUE(file.createKey(u"HKEY_LOCAL_MACHINE\\Software\\X"_s));
    ASSERT_TRUE(file.setValue(u"HKEY_LOCAL_MACHINE\\Software\\X"_s, QString(), regDword(0xABCDEF)));
    ASSERT_TRUE(file.createKey(u"HKEY_CURRENT_USER\\New\\Deep"_s));
    EXPECT_FALSE(file.setValue(u"HKEY_CURRENT_USER\\Nowhere"_s, u"V"_s, regDword(1)));
    EXPECT_FALSE(file.setValue(kKey, u"line\nbreak"_s, regDword(1)));
    // Nor a key the reader would refuse: one level too deep, or a name too long.
    EXPECT_FALSE(file.createKey(u"HKEY_CURRENT_USER"_s + u"\\K"_s.repeated(513)));
    EXPECT_FALSE(file.createKey(u"HKEY_CURRENT_USER\\"_s + QString(256, u'n')));
    EXPECT_EQ(file.serialize(),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n\"A\"=dword:00000001\r\n"
              "\"B\\\"\\\\\"=\"b\"\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\X\\Y]\r\n\"Z\"=\"z\"\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\X]\r\n@=dword:00abcdef\r\n\r\n"
              "[HKEY_CURRENT_USER\\New\\Deep]\r\n");
}

TEST(RegEditFile, WritesValuesRegeditCannotShowAsHex) {
    RegEditFile file;
    ASSERT_TRUE(file.createKey(kKey));
    const QList<std::pair<QString, RegValue>> values = {
        {u"Nul"_s, raw(REG_SZ, QByteArray("a\0b\0", 4))},
        {u"Lines"_s, raw(REG_SZ, "a\r\nb")},
        {u"Short"_s, raw(REG_DWORD, "\x01\x02")},
        {u"Wide"_s, raw(0x20, QByteArray(100, '\x5a'))},
    };
    for (const auto& [name, value] : values)
        ASSERT_TRUE(file.setValue(kKey, name, value));
    const QByteArray text = file.serialize();
    EXPECT_TRUE(text.contains("\"Nul\"=hex(1):61,00,62,00\r\n"));
    EXPECT_TRUE(text.contains("\"Lines\"=hex(1):61,0d,0a,62\r\n"));
    EXPECT_TRUE(text.contains("\"Short\"=hex(4):01,02\r\n"));
    EXPECT_TRUE(text.contains("\"Wide\"=hex(20):5a,5a,"));
    EXPECT_TRUE(text.contains(",\\\r\n  5a,"));
    for (const QByteArray& line : text.split('\n'))
        EXPECT_LE(line.size(), 82);
    const RegEditFile again = parsed(text);
    for (const auto& [name, value] : values)
        EXPECT_EQ(again.value(kKey, name), value) << name.toStdString();
}

TEST(RegEditFile, DeletionLinesHideWhatTheyDelete) {
    RegEditFile file = parsed("REGEDIT4\r\n[HKEY_CURRENT_USER\\A\\B]\r\n\"X\"=dword:1\r\n\"Y\"=dword:2\r\n"
                              "[HKEY_CURRENT_USER\\A\\B\\C]\r\n"
                              "[HKEY_CURRENT_USER\\Software\\Test]\r\n\"V\"=dword:3\r\n\"V\"=-\r\n"
                              "[-HKEY_CURRENT_USER\\A\\B]\r\n\"Y\"=dword:9\r\n");
    EXPECT_FALSE(file.value(kKey, u"V"_s));
    EXPECT_FALSE(file.hasKey(u"HKEY_CURRENT_USER\\A\\B"_s));
    EXPECT_FALSE(file.hasKey(u"HKEY_CURRENT_USER\\A\\B\\C"_s));
    EXPECT_TRUE(file.hasKey(u"HKEY_CURRENT_USER\\A"_s));
    ASSERT_TRUE(file.setValue(kKey, u"V"_s, regDword(4)));
    ASSERT_TRUE(file.createKey(u"HKEY_CURRENT_USER\\A\\B"_s));
    ASSERT_TRUE(file.setValue(u"HKEY_CURRENT_USER\\A\\B"_s, u"X"_s, regDword(5)));
    const RegEditFile again = parsed(file.serialize());
    EXPECT_EQ(again.value(kKey, u"V"_s), regDword(4));
    EXPECT_EQ(again.value(u"HKEY_CURRENT_USER\\A\\B"_s, u"X"_s), regDword(5));
    EXPECT_FALSE(again.value(u"HKEY_CURRENT_USER\\A\\B"_s, u"Y"_s));
}
