// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/WineRegFile.h"
#include "registry/WineRegIndex.h"
#include "registry/WineRegSyntax.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
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
    EXPECT_EQ(file.root(), u"REGISTRY\\Machine"_s);
    EXPECT_EQ(file.architecture(), u"win64"_s);
    const QString key = u"kinds"_s;
    EXPECT_EQ(file.value(key, QString()), sz(REG_SZ, u"default"_s));
    EXPECT_EQ(file.value(key, u"PLAIN"_s), sz(REG_SZ, u"text"_s));
    EXPECT_EQ(file.value(key, u"Str"_s), sz(REG_SZ, u"also text"_s));
    EXPECT_EQ(file.value(key, u"Expand"_s), sz(REG_EXPAND_SZ, u"%SystemRoot%\\x"_s));
    EXPECT_EQ(file.value(key, u"Multi"_s), sz(REG_MULTI_SZ, u"a"_s + QChar(0) + u"bc"_s + QChar(0)));
    EXPECT_EQ(file.value(key, u"Number"_s), dword(0x4be5019a));
    EXPECT_EQ(file.value(key, u"Binary"_s), (RegValue{REG_BINARY, QByteArray("\x00\xff\x10", 3)}));
    EXPECT_EQ(file.value(key, u"Qword"_s), (RegValue{11, QByteArray("\x01\0\0\0\0\0\0\0", 8)}));
    EXPECT_EQ(file.value(key, u"Nothing"_s), (RegValue{REG_NONE, QByteArray()}));
    EXPECT_EQ(file.value(key, u"Empty"_s), sz(REG_SZ, QString()));
    EXPECT_EQ(file.modified(key), 0x1dd85800dea981cLL);
    EXPECT_FALSE(file.value(key, u"Missing"_s));
}

TEST(WineRegFile, UnescapesAndEscapesAsWineserver) {
    const WineRegFile file =
        parsed(wrapped("\n[Odd\\\\Br\\[ack\\]et] 0\n"
                       "\"Quote\\\"d\\\\\"=\"tab\\there\\nnl\\x263a\\x41\\101\\e\\q\"\n"));
    const QString key = u"Odd\\Br[ack]et"_s;
    ASSERT_TRUE(file.hasKey(key));
    EXPECT_TRUE(file.hasKey(u"odd"_s));
    const QString expected = u"tab\there\nnl"_s + QChar(0x263a) + QChar(0x41) + u"A"_s + QChar(0x1b) + u"q"_s;
    EXPECT_EQ(file.value(key, u"Quote\"d\\"_s), sz(REG_SZ, expected));

    constexpr char kQuotes[2] = {'"', '"'};
    constexpr char kBrackets[2] = {'[', ']'};
    // Hex and octal escapes are padded only where the next character would extend them.
    EXPECT_EQ(escaped(u"\u00e9a\u00e9z"_s, kQuotes), QByteArray("\\x00e9a\\xe9z"));
    EXPECT_EQ(escaped(QString(QChar(1)) + u"5"_s + QChar(1) + u"z"_s, kQuotes), QByteArray("\\0015\\1z"));
    EXPECT_EQ(escaped(u"\t\r\a\x1b\"[\\"_s, kQuotes), QByteArray("\\t\\r\\a\\e\\\"[\\\\"));
    EXPECT_EQ(escaped(u"\"[]"_s, kBrackets), QByteArray("\"\\[\\]"));
    const QString tricky = u"x\u20ac1\u0001\u00027\"\\ end"_s;
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
    EXPECT_EQ(file.value(u"Key"_s, u"Long"_s), (RegValue{REG_LINK, QByteArray("\x5c\0\x52\0\x65\0", 6)}));
    EXPECT_EQ(file.value(u"Key"_s, u"Text"_s), sz(REG_SZ, u"ends in \\"_s));
    EXPECT_EQ(file.value(u"Key"_s, u"After"_s), dword(1));
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
    EXPECT_EQ(valueText(u"S"_s, RegValue{REG_SZ, QByteArray("a\0", 2)}), QByteArray("\"S\"=hex(1):61,00\n"));
    EXPECT_EQ(valueText(u"D"_s, RegValue{REG_DWORD, QByteArray("\1\0", 2)}),
              QByteArray("\"D\"=hex(4):01,00\n"));
}

TEST(WineRegFile, KeepsUnchangedTextByteForByte) {
    const QByteArray text = wrapped(";; a comment\r\n\n[A\\\\B] 1796561292\r\n#time=1dd85800dea981c\r\n"
                                    "#class=\"cls\"\n\"v\"=dword:00000001\r\n"
                                    "something wine skips\n\"broken=\"\n  \n"
                                    "[Z] 1\n\"no newline at the end\"=\"x\"");
    const WineRegFile file = parsed(text);
    EXPECT_EQ(file.serialize(), text);
    EXPECT_EQ(file.keyPaths(), (QStringList{u"A\\B"_s, u"Z"_s}));

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
    ASSERT_TRUE(file.setValue(u"control panel\\desktop"_s, u"a"_s, dword(1), kTime));
    ASSERT_TRUE(file.setValue(u"Control Panel\\Desktop"_s, u"New \"one\""_s, sz(REG_SZ, u"n"_s), kTime));
    QByteArray expected = text;
    expected.replace("[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n\"A\"=dword:00000000\n",
                     "[Control Panel\\\\Desktop] 1796561295\n#time=1dd85800fa10402\n\"A\"=dword:00000001\n");
    expected.replace("\"B\"=\"b\"\n", "\"B\"=\"b\"\n\"New \\\"one\\\"\"=\"n\"\n");
    EXPECT_EQ(file.serialize(), expected);
    EXPECT_EQ(file.modified(u"Other"_s), 0x1dd85800dea981cLL);

    // A new key comes last, after an empty line, with its time; its parents exist with it.
    bool created = false;
    ASSERT_TRUE(file.createKey(u"Software\\Policies\\X"_s, kTime, &created));
    EXPECT_TRUE(created);
    EXPECT_TRUE(file.hasKey(u"software\\policies"_s));
    ASSERT_TRUE(file.setValue(u"Software\\Policies\\X"_s, u"NoRun"_s, dword(1), kTime));
    EXPECT_TRUE(file.serialize().endsWith("\"C\"=\"c\"\n\n[Software\\\\Policies\\\\X] "
                                          "1796561295\n#time=1dd85800fa10402\n\"NoRun\"=dword:00000001\n"));
    ASSERT_TRUE(file.createKey(u"Software\\Policies\\X"_s, kTime + 1, &created));
    EXPECT_FALSE(created);
    EXPECT_FALSE(file.createKey(u"A\\\\B"_s, kTime));

    // A key known only as a parent gets lines of its own when it gets a value.
    ASSERT_TRUE(file.setValue(u"Software"_s, u"V"_s, dword(2), kTime));
    const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->value(u"software"_s, u"v"_s), dword(2));
    EXPECT_EQ(again->value(u"Software\\Policies\\X"_s, u"NoRun"_s), dword(1));
    EXPECT_EQ(again->value(u"Control Panel\\Desktop"_s, u"New \"one\""_s), sz(REG_SZ, u"n"_s));
    EXPECT_EQ(again->serialize(), file.serialize());
}

// Damaged or unusual text: read as Wine reads it, and our lines never merge with it.
TEST(WineRegFile, EditsAtTheEdgesReadBackAsWritten) {
    WineRegFile file = parsed(wrapped("\n[K] 0\n#time=1\n\"a\"=\"x\"\n#time=2\n"
                                      "\"h\"=hex:zz,\\\n[L] 0\n\"v\"=dword:00000001"));
    ASSERT_TRUE(file.hasKey(u"L"_s));
    EXPECT_FALSE(file.value(u"K"_s, u"h"_s));
    EXPECT_EQ(file.modified(u"K"_s), 2);
    ASSERT_TRUE(file.setValue(u"K"_s, u"a"_s, dword(3), kTime));
    ASSERT_TRUE(file.setValue(u"L"_s, u"w"_s, dword(4), kTime));
    const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->modified(u"K"_s), kTime);
    EXPECT_EQ(again->value(u"K"_s, u"a"_s), dword(3));
    EXPECT_EQ(again->value(u"L"_s, u"v"_s), dword(1));
    EXPECT_EQ(again->value(u"L"_s, u"w"_s), dword(4));
}

// Found by fuzzing: hex data cut off after its "\" at the end of the file took in the lines
// written after it and became a value that hid the one just set.
TEST(WineRegFile, ACutOffLastLineTakesInNothingWeAppend) {
    for (const QByteArray& end : {QByteArray(), QByteArray("\n"), QByteArray(" \r\n")}) {
        WineRegFile file = parsed("WINE REGISTRY Version 2\n[o]\n\"inary\"=hex:\n\"inary\"=hex:\\" + end);
        EXPECT_EQ(file.value(u"o"_s, u"inary"_s), (RegValue{REG_BINARY, {}}));
        ASSERT_TRUE(file.setValue(u"o"_s, u"inary"_s, dword(7), kTime));
        ASSERT_TRUE(file.createKey(u"o\\Fuzz"_s, kTime));
        ASSERT_TRUE(file.setValue(u"o\\Fuzz"_s, QString(), dword(8), kTime));
        const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->value(u"o"_s, u"inary"_s), dword(7));
        EXPECT_EQ(again->value(u"o\\Fuzz"_s, QString()), dword(8));
        EXPECT_EQ(again->serialize(), file.serialize());
    }
}

// Seconds on a key line that no file time can hold read as none, not as an overflowed time.
TEST(WineRegFile, KeyLineSecondsOutOfRangeReadAsNone) {
    const WineRegFile file = parsed("WINE REGISTRY Version 2\n[A] 99999999999999\n[B] -99999999999999\n"
                                    "[C] 1796561295\n");
    EXPECT_EQ(file.modified(u"A"_s), WineRegFile::kUnixEpochFileTime);
    EXPECT_EQ(file.modified(u"B"_s), WineRegFile::kUnixEpochFileTime);
    EXPECT_EQ(file.modified(u"C"_s), WineRegFile::kUnixEpochFileTime + 17965612950000000LL);
}

TEST(WineRegFile, RemovingAValueDropsItsLinesAndRenewsTheKeyTime) {
    WineRegFile file = parsed(wrapped("\n[Software\\\\T] 1700000000\n#time=1da1747c66d0000\n"
                                      "\"A\"=dword:00000001\n\"B\"=hex:01,\\\n  02\n\n"
                                      "[Software\\\\U] 1700000000\n#time=1da1747c66d0000\n\"A\"=\"u\"\n"));
    const qint64 later = WineRegFile::kUnixEpochFileTime + 1796561295LL * 10000000;
    EXPECT_TRUE(file.removeValue(u"software\\t"_s, u"b"_s, later));
    EXPECT_EQ(file.serialize(), wrapped("\n[Software\\\\T] 1796561295\n#time=1dd85800f4d1180\n"
                                        "\"A\"=dword:00000001\n\n"
                                        "[Software\\\\U] 1700000000\n#time=1da1747c66d0000\n\"A\"=\"u\"\n"));
    EXPECT_EQ(file.modified(u"Software\\T"_s), later);
    EXPECT_FALSE(file.removeValue(u"Software\\T"_s, u"B"_s, later));
    EXPECT_FALSE(file.removeValue(u"Software\\None"_s, u"A"_s, later));
}

TEST(WineRegFile, TheIndexAnswersAsTheWholeFile) {
    // A key in two blocks, a link, hex data whose continuation line looks like a key line, and
    // hex data broken on its continuation line, after which a key line is a key again (found by fuzzing).
    const QByteArray text =
        wrapped("\n[A\\\\B] 0\n\"X\"=dword:1\n\"H\"=hex:01,\\\n  [C] 0\n\n"
                "[L] 0\n#link\n\"SymbolicLinkValue\"=hex(6):41,00\n\n[a\\\\b] 0\n\"Y\"=\"y\"\n"
                "\"G\"=hex:02,\\\n  zz,\\\n  [D] 0");
    const WineRegFile file = parsed(text);
    const std::optional<WineRegIndex> index = WineRegIndex::index(text);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->root(), file.root());
    EXPECT_EQ(index->architecture(), file.architecture());
    for (const QString& path : {u""_s, u"a"_s, u"A\\b"_s, u"C"_s, u"D"_s, u"l"_s, u"Missing"_s}) {
        EXPECT_EQ(index->hasKey(path), file.hasKey(path)) << path.toStdString();
        EXPECT_EQ(index->isLink(path), file.isLink(path)) << path.toStdString();
        for (const QString& name : {u"x"_s, u"Y"_s, u"H"_s, u"SymbolicLinkValue"_s})
            EXPECT_EQ(index->value(path, name), file.value(path, name)) << path.toStdString();
    }
    EXPECT_TRUE(index->value(u"a\\B"_s, u"Y"_s));
    EXPECT_TRUE(index->hasKey(u"D"_s));
}
