// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/WineRegFile.h"
#include "registry/WineRegSyntax.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace tavimor;
using namespace tavimor::winereg;

namespace {

constexpr qint64 kTime = 0x1dd85800fa10402LL; // 2026-12-06 12:48:15 UTC

QByteArray wrapped(const QByteArray& text) {
    return "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n" + text;
}

WineRegFile parsed(const QByteArray& bytes) {
    QString error;
    std::optional<WineRegFile> file = WineRegFile::parse(bytes, &error);
    EXPECT_TRUE(file) << error.toStdString();
    return file.value_or(*WineRegFile::parse("WINE REGISTRY Version 2\n"));
}

RegValue sz(quint32 type, const QString& text) {
    return RegValue{type, utf16Data(text)};
}

RegValue dword(quint32 number) {
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(number, bytes.data());
    return RegValue{REG_DWORD, bytes};
}

} // namespace

TEST(WineRegFile, ReadsEveryValueKind) {
    const WineRegFile file = parsed(wrapped("\n[Kinds] 1796561292\n#time=1dd85800dea981c\n"
                                            "@=\"default\"\n"
                                            "\"Plain\"=\"text\"\n"
                                            "\"Str\"=str:\"also text\"\n"
                                            "\"Expand\"=str(2):\"%SystemRoot%\\\\x\"\n"
                                            "\"Multi\"=str(7):\"a\\0bc\\0\"\n"
                                            "\"Number\"=dword:4be5019a\n"
                                            "\"Binary\"=hex:00,ff,10\n"
                                            "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
                                            "\"Nothing\"=hex(0):\n"
                                            "\"Empty\"=\"\"\n"));
    EXPECT_EQ(file.root(), QStringLiteral("REGISTRY\\Machine"));
    EXPECT_EQ(file.architecture(), QStringLiteral("win64"));
    const QString key = QStringLiteral("kinds");
    EXPECT_EQ(file.value(key, QString()), sz(REG_SZ, QStringLiteral("default")));
    EXPECT_EQ(file.value(key, QStringLiteral("PLAIN")), sz(REG_SZ, QStringLiteral("text")));
    EXPECT_EQ(file.value(key, QStringLiteral("Str")), sz(REG_SZ, QStringLiteral("also text")));
    EXPECT_EQ(file.value(key, QStringLiteral("Expand")),
              sz(REG_EXPAND_SZ, QStringLiteral("%SystemRoot%\\x")));
    EXPECT_EQ(file.value(key, QStringLiteral("Multi")),
              sz(REG_MULTI_SZ, QStringLiteral("a") + QChar(0) + QStringLiteral("bc") + QChar(0)));
    EXPECT_EQ(file.value(key, QStringLiteral("Number")), dword(0x4be5019a));
    EXPECT_EQ(file.value(key, QStringLiteral("Binary")),
              (RegValue{REG_BINARY, QByteArray("\x00\xff\x10", 3)}));
    EXPECT_EQ(file.value(key, QStringLiteral("Qword")), (RegValue{11, QByteArray("\x01\0\0\0\0\0\0\0", 8)}));
    EXPECT_EQ(file.value(key, QStringLiteral("Nothing")), (RegValue{REG_NONE, QByteArray()}));
    EXPECT_EQ(file.value(key, QStringLiteral("Empty")), sz(REG_SZ, QString()));
    EXPECT_EQ(file.modified(key), 0x1dd85800dea981cLL);
    EXPECT_FALSE(file.value(key, QStringLiteral("Missing")));
}

TEST(WineRegFile, UnescapesAndEscapesAsWineserver) {
    const WineRegFile file =
        parsed(wrapped("\n[Odd\\\\Br\\[ack\\]et] 0\n"
                       "\"Quote\\\"d\\\\\"=\"tab\\there\\nnl\\x263a\\x41\\101\\e\\q\"\n"));
    const QString key = QStringLiteral("Odd\\Br[ack]et");
    ASSERT_TRUE(file.hasKey(key));
    EXPECT_TRUE(file.hasKey(QStringLiteral("odd")));
    const QString expected = QStringLiteral("tab\there\nnl") + QChar(0x263a) + QChar(0x41) +
                             QStringLiteral("A") + QChar(0x1b) + QStringLiteral("q");
    EXPECT_EQ(file.value(key, QStringLiteral("Quote\"d\\")), sz(REG_SZ, expected));

    constexpr char kQuotes[2] = {'"', '"'};
    constexpr char kBrackets[2] = {'[', ']'};
    // Hex and octal escapes are padded only where the next character would extend them.
    EXPECT_EQ(escaped(QStringLiteral("\u00e9a\u00e9z"), kQuotes), QByteArray("\\x00e9a\\xe9z"));
    EXPECT_EQ(escaped(QString(QChar(1)) + QStringLiteral("5") + QChar(1) + QStringLiteral("z"), kQuotes),
              QByteArray("\\0015\\1z"));
    EXPECT_EQ(escaped(QStringLiteral("\t\r\a\x1b\"[\\"), kQuotes), QByteArray("\\t\\r\\a\\e\\\"[\\\\"));
    EXPECT_EQ(escaped(QStringLiteral("\"[]"), kBrackets), QByteArray("\"\\[\\]"));
    const QString tricky = QStringLiteral("x\u20ac1\u0001\u00027\"\\ end");
    qsizetype end = 0;
    EXPECT_EQ(unescaped(QByteArray(escaped(tricky, kQuotes) + '"'), '"', &end), tricky);
    EXPECT_FALSE(unescaped("no end", '"', &end));
    EXPECT_FALSE(unescaped("dangling\\", '"', &end));
}

TEST(WineRegFile, JoinsContinuationLinesOfHexValuesOnly) {
    const QByteArray text = wrapped("\n[Key] 0\n"
                                    "\"Long\"=hex(6):5c,00,52,\\\n"
                                    "  00,65,\\\n"
                                    "  00\n"
                                    "\"Text\"=\"ends in \\\\\"\n"
                                    "\"After\"=dword:00000001\n");
    const WineRegFile file = parsed(text);
    EXPECT_EQ(file.value(QStringLiteral("Key"), QStringLiteral("Long")),
              (RegValue{REG_LINK, QByteArray("\x5c\0\x52\0\x65\0", 6)}));
    EXPECT_EQ(file.value(QStringLiteral("Key"), QStringLiteral("Text")),
              sz(REG_SZ, QStringLiteral("ends in \\")));
    EXPECT_EQ(file.value(QStringLiteral("Key"), QStringLiteral("After")), dword(1));
    EXPECT_EQ(file.serialize(), text);
}

// Lines exactly as wineserver wrote them in a fresh prefix come out the same from our writer.
TEST(WineRegFile, WritesValueLinesAsWineserverDoes) {
    const QList<QByteArray> lines = {
        "\"DigitalProductId\"=hex:00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\\\n"
        "  00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\\\n"
        "  00,00,00,00,00,00,00,00,00,00,00\n",
        "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,\\\n"
        "  00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,6f,00,66,00,\\\n"
        "  74,00,77,00,61,00,72,00,65,00\n",
        "\"InstallDate\"=dword:4be5019a\n",
        "\"Dll\"=str(7):\"cryptnet.dll\\0\"\n",
        "\"AppData\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Roaming\"\n",
        "@=\"\"\n",
        "\"RegisteredOwner\"=\"\"\n",
    };
    for (const QByteArray& line : lines) {
        QByteArray logical = line;
        logical.replace("\\\n  ", "");
        const std::optional<ParsedValue> value = parseValueLine(logical.trimmed());
        ASSERT_TRUE(value) << line.constData();
        EXPECT_EQ(valueText(value->name, value->value), line);
    }
    // Strings that lack their terminating zero are kept as hex, as wineserver keeps them.
    EXPECT_EQ(valueText(QStringLiteral("S"), RegValue{REG_SZ, QByteArray("a\0", 2)}),
              QByteArray("\"S\"=hex(1):61,00\n"));
    EXPECT_EQ(valueText(QStringLiteral("D"), RegValue{REG_DWORD, QByteArray("\1\0", 2)}),
              QByteArray("\"D\"=hex(4):01,00\n"));
}

TEST(WineRegFile, KeepsUnchangedTextByteForByte) {
    const QByteArray text = wrapped(";; a comment\r\n\n[A\\\\B] 1796561292\r\n#time=1dd85800dea981c\r\n"
                                    "#class=\"cls\"\n\"v\"=dword:00000001\r\n"
                                    "something wine skips\n\"broken=\"\n  \n"
                                    "[Z] 1\n\"no newline at the end\"=\"x\"");
    const WineRegFile file = parsed(text);
    EXPECT_EQ(file.serialize(), text);
    EXPECT_EQ(file.keyPaths(), (QStringList{QStringLiteral("A\\B"), QStringLiteral("Z")}));

    QString error;
    int line = 0;
    EXPECT_FALSE(WineRegFile::parse("REGEDIT4\n[A]\n", &error, &line));
    EXPECT_EQ(line, 1);
    EXPECT_FALSE(WineRegFile::parse(QByteArray(), &error, &line));
}

TEST(WineRegFile, ChangesOnlyTheTouchedLinesAndStampsTheKey) {
    const QByteArray text = wrapped("\n[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n"
                                    "\"A\"=dword:00000000\n\"B\"=\"b\"\n\n"
                                    "[Other] 1796561292\n#time=1dd85800dea981c\n\"C\"=\"c\"\n");
    WineRegFile file = parsed(text);
    ASSERT_TRUE(
        file.setValue(QStringLiteral("control panel\\desktop"), QStringLiteral("a"), dword(1), kTime));
    ASSERT_TRUE(file.setValue(QStringLiteral("Control Panel\\Desktop"), QStringLiteral("New \"one\""),
                              sz(REG_SZ, QStringLiteral("n")), kTime));
    QByteArray expected = text;
    expected.replace("[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n\"A\"=dword:00000000\n",
                     "[Control Panel\\\\Desktop] 1796561295\n#time=1dd85800fa10402\n\"A\"=dword:00000001\n");
    expected.replace("\"B\"=\"b\"\n", "\"B\"=\"b\"\n\"New \\\"one\\\"\"=\"n\"\n");
    EXPECT_EQ(file.serialize(), expected);
    EXPECT_EQ(file.modified(QStringLiteral("Other")), 0x1dd85800dea981cLL);

    // A new key comes last, after an empty line, with its time; its parents exist with it.
    bool created = false;
    ASSERT_TRUE(file.createKey(QStringLiteral("Software\\Policies\\X"), kTime, &created));
    EXPECT_TRUE(created);
    EXPECT_TRUE(file.hasKey(QStringLiteral("software\\policies")));
    ASSERT_TRUE(
        file.setValue(QStringLiteral("Software\\Policies\\X"), QStringLiteral("NoRun"), dword(1), kTime));
    EXPECT_TRUE(file.serialize().endsWith("\"C\"=\"c\"\n\n[Software\\\\Policies\\\\X] "
                                          "1796561295\n#time=1dd85800fa10402\n\"NoRun\"=dword:00000001\n"));
    ASSERT_TRUE(file.createKey(QStringLiteral("Software\\Policies\\X"), kTime + 1, &created));
    EXPECT_FALSE(created);
    EXPECT_FALSE(file.createKey(QStringLiteral("A\\\\B"), kTime));

    // A key known only as a parent gets lines of its own when it gets a value.
    ASSERT_TRUE(file.setValue(QStringLiteral("Software"), QStringLiteral("V"), dword(2), kTime));
    const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->value(QStringLiteral("software"), QStringLiteral("v")), dword(2));
    EXPECT_EQ(again->value(QStringLiteral("Software\\Policies\\X"), QStringLiteral("NoRun")), dword(1));
    EXPECT_EQ(again->value(QStringLiteral("Control Panel\\Desktop"), QStringLiteral("New \"one\"")),
              sz(REG_SZ, QStringLiteral("n")));
    EXPECT_EQ(again->serialize(), file.serialize());
}

TEST(WineRegFile, MarksLinkKeys) {
    const WineRegFile file =
        parsed(wrapped("\n[Software\\\\Classes\\\\Wow6432Node\\\\AppId] 0\n#time=0\n#link\n"
                       "\"SymbolicLinkValue\"=hex(6):5c,00\n"));
    EXPECT_TRUE(file.isLink(QStringLiteral("software\\classes\\wow6432node\\appid")));
    EXPECT_FALSE(file.isLink(QStringLiteral("software\\classes")));
}

// Damaged or unusual text: read as Wine reads it, and our lines never merge with it.
TEST(WineRegFile, EditsAtTheEdgesReadBackAsWritten) {
    WineRegFile file = parsed(wrapped("\n[K] 0\n#time=1\n\"a\"=\"x\"\n#time=2\n"
                                      "\"h\"=hex:zz,\\\n[L] 0\n\"v\"=dword:00000001"));
    ASSERT_TRUE(file.hasKey(QStringLiteral("L")));
    EXPECT_FALSE(file.value(QStringLiteral("K"), QStringLiteral("h")));
    EXPECT_EQ(file.modified(QStringLiteral("K")), 2);
    ASSERT_TRUE(file.setValue(QStringLiteral("K"), QStringLiteral("a"), dword(3), kTime));
    ASSERT_TRUE(file.setValue(QStringLiteral("L"), QStringLiteral("w"), dword(4), kTime));
    const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->modified(QStringLiteral("K")), kTime);
    EXPECT_EQ(again->value(QStringLiteral("K"), QStringLiteral("a")), dword(3));
    EXPECT_EQ(again->value(QStringLiteral("L"), QStringLiteral("v")), dword(1));
    EXPECT_EQ(again->value(QStringLiteral("L"), QStringLiteral("w")), dword(4));
}

// Found by fuzzing: hex data cut off after its "\" at the end of the file took in the lines
// written after it and became a value that hid the one just set.
TEST(WineRegFile, ACutOffLastLineTakesInNothingWeAppend) {
    for (const QByteArray& end : {QByteArray(), QByteArray("\n"), QByteArray(" \r\n")}) {
        WineRegFile file = parsed("WINE REGISTRY Version 2\n[o]\n\"inary\"=hex:\n\"inary\"=hex:\\" + end);
        EXPECT_EQ(file.value(QStringLiteral("o"), QStringLiteral("inary")), (RegValue{REG_BINARY, {}}));
        ASSERT_TRUE(file.setValue(QStringLiteral("o"), QStringLiteral("inary"), dword(7), kTime));
        ASSERT_TRUE(file.createKey(QStringLiteral("o\\Fuzz"), kTime));
        ASSERT_TRUE(file.setValue(QStringLiteral("o\\Fuzz"), QString(), dword(8), kTime));
        const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->value(QStringLiteral("o"), QStringLiteral("inary")), dword(7));
        EXPECT_EQ(again->value(QStringLiteral("o\\Fuzz"), QString()), dword(8));
        EXPECT_EQ(again->serialize(), file.serialize());
    }
}

// Seconds on a key line that no file time can hold read as none, not as an overflowed time.
TEST(WineRegFile, KeyLineSecondsOutOfRangeReadAsNone) {
    const WineRegFile file = parsed("WINE REGISTRY Version 2\n[A] 99999999999999\n[B] -99999999999999\n"
                                    "[C] 1796561295\n");
    EXPECT_EQ(file.modified(QStringLiteral("A")), WineRegFile::kUnixEpochFileTime);
    EXPECT_EQ(file.modified(QStringLiteral("B")), WineRegFile::kUnixEpochFileTime);
    EXPECT_EQ(file.modified(QStringLiteral("C")), WineRegFile::kUnixEpochFileTime + 17965612950000000LL);
}
