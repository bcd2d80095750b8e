// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/wine/WineRegFile.h"
#include "registry/wine/WineRegIndex.h"
#include "registry/wine/WineRegSyntax.h"

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
                                            "\"Empty\"=\"\"\n"
                                            "\"Long\"=hex(6):5c,00,52,\\\n  00,65,\\\n  00\n"
                                            "\"Text\"=\"ends in \\\\\"\n"
                                            "\"After\"=dword:00000001\n"));
    const QString key = u"kinds"_s;
    EXPECT_EQ(file.value(key, QString()), sz(REG_SZ, u"default"_s));
    EXPECT_EQ(file.value(key, u"PLAIN"_s), sz(REG_SZ, u"text"_s));
    EXPECT_EQ(file.value(key, u"Str"_s), sz(REG_SZ, u"also text"_s));
    EXPECT_EQ(file.value(key, u"Expand"_s), sz(REG_EXPAND_SZ, u"%SystemRoot%\\x"_s));
    EXPECT_EQ(file.value(key, u"Multi"_s), sz(REG_MULTI_SZ, u"a"_s + QChar(0) + u"bc"_s + QChar(0)));
    EXPECT_EQ(file.value(key, u"Number"_s), regDword(0x4be5019a));
    EXPECT_EQ(file.value(key, u"Binary"_s), (RegValue{REG_BINARY, QByteArray("\x00\xff\x10", 3)}));
    EXPECT_EQ(file.value(key, u"Qword"_s), (RegValue{11, QByteArray("\x01\0\0\0\0\0\0\0", 8)}));
    EXPECT_EQ(file.value(key, u"Nothing"_s), (RegValue{REG_NONE, QByteArray()}));
    EXPECT_EQ(file.value(key, u"Empty"_s), sz(REG_SZ, QString()));
    // Only hex data goes on over continuation lines.
    EXPECT_EQ(file.value(key, u"Long"_s), (RegValue{REG_LINK, QByteArray("\x5c\0\x52\0\x65\0", 6)}));
    EXPECT_EQ(file.value(key, u"Text"_s), sz(REG_SZ, u"ends in \\"_s));
    EXPECT_EQ(file.value(key, u"After"_s), regDword(1));
    EXPECT_FALSE(file.value(key, u"Missing"_s));
}

TEST(WineRegFile, ReadsAndWritesTextAsWineserver) {
    const WineRegFile file =
        parsed(wrapped("\n[Odd\\\\Br\\[ack\\]et] 0\n"
                       "\"Quote\\\"d\\\\\"=\"tab\\there\\nnl\\x263a\\x41\\101\\e\\q\"\n"));
    const QString expected = u"tab\there\nnl"_s + QChar(0x263a) + QChar(0x41) + u"A"_s + QChar(0x1b) + u"q"_s;
    EXPECT_EQ(file.value(u"Odd\\Br[ack]et"_s, u"Quote\"d\\"_s), sz(REG_SZ, expected));

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
    // Strings that lack their terminating zero are kept as hex, as wineserver keeps them; that the lines
    // wineserver writes come out the same from our writer is RealWine's.
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
    EXPECT_FALSE(WineRegFile::parse(QByteArray()));
}

TEST(WineRegFile, ChangesOnlyTheTouchedLinesAndStampsTheKey) {
    const QByteArray text = wrapped("\n[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n"
                                    "\"A\"=dword:00000000\n\"B\"=\"b\"\n\n"
                                    "[Other] 1796561292\n#time=1dd85800dea981c\n\"C\"=\"c\"\n");
    WineRegFile file = parsed(text);
    ASSERT_TRUE(file.setValue(u"control panel\\desktop"_s, u"a"_s, regDword(1), kTime));
    ASSERT_TRUE(file.setValue(u"Control Panel\\Desktop"_s, u"New \"one\""_s, sz(REG_SZ, u"n"_s), kTime));
    QByteArray expected = text;
    expected.replace("[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n\"A\"=dword:00000000\n",
                     "[Control Panel\\\\Desktop] 1796561295\n#time=1dd85800fa10402\n\"A\"=dword:00000001\n");
    expected.replace("\"B\"=\"b\"\n", "\"B\"=\"b\"\n\"New \\\"one\\\"\"=\"n\"\n");
    EXPECT_EQ(file.serialize(), expected);

    // A new key comes last, after an empty line, with its time; its parents exist with it.
    ASSERT_TRUE(file.createKey(u"Software\\Policies\\X"_s, kTime));
    EXPECT_TRUE(file.hasKey(u"software\\policies"_s));
    ASSERT_TRUE(file.setValue(u"Software\\Policies\\X"_s, u"NoRun"_s, regDword(1), kTime));
    EXPECT_TRUE(file.serialize().endsWith("\"C\"=\"c\"\n\n[Software\\\\Policies\\\\X] "
                                          "1796561295\n#time=1dd85800fa10402\n\"NoRun\"=dword:00000001\n"));

    // A key known only as a parent gets lines of its own when it gets a value.
    ASSERT_TRUE(file.setValue(u"Software"_s, u"V"_s, regDword(2), kTime));
    const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->value(u"software"_s, u"v"_s), regDword(2));
    EXPECT_EQ(again->serialize(), file.serialize());
}

// Damaged or unusual text: read as Wine reads it, and our lines never merge with it.
TEST(WineRegFile, EditsAtTheEdgesReadBackAsWritten) {
    WineRegFile file = parsed(wrapped("\n[K] 0\n#time=1\n\"a\"=\"x\"\n#time=2\n"
                                      "\"h\"=hex:zz,\\\n[L] 0\n\"v\"=dword:00000001"));
    EXPECT_FALSE(file.value(u"K"_s, u"h"_s));
    ASSERT_TRUE(file.setValue(u"K"_s, u"a"_s, regDword(3), kTime));
    ASSERT_TRUE(file.setValue(u"L"_s, u"w"_s, regDword(4), kTime));
    const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->modified(u"K"_s), kTime);
    EXPECT_EQ(again->value(u"K"_s, u"a"_s), regDword(3));
    EXPECT_EQ(again->value(u"L"_s, u"v"_s), regDword(1));
    EXPECT_EQ(again->value(u"L"_s, u"w"_s), regDword(4));

    // Seconds on a key line that no file time can hold read as none, not as an overflowed time.
    const WineRegFile times =
        parsed("WINE REGISTRY Version 2\n[A] 99999999999999\n[B] -99999999999999\n[C] 1796561295\n");
    EXPECT_EQ(times.modified(u"A"_s), WineRegFile::kUnixEpochFileTime);
    EXPECT_EQ(times.modified(u"B"_s), WineRegFile::kUnixEpochFileTime);
    EXPECT_EQ(times.modified(u"C"_s), WineRegFile::kUnixEpochFileTime + 17965612950000000LL);
}

// Found by fuzzing: hex data cut off after its "\" at the end of the file took in the lines
// written after it and became a value that hid the one just set.
TEST(WineRegFile, ACutOffLastLineTakesInNothingWeAppend) {
    for (const QByteArray& end : {QByteArray(), QByteArray("\n"), QByteArray(" \r\n")}) {
        WineRegFile file = parsed("WINE REGISTRY Version 2\n[o]\n\"inary\"=hex:\n\"inary\"=hex:\\" + end);
        EXPECT_EQ(file.value(u"o"_s, u"inary"_s), (RegValue{REG_BINARY, {}}));
        ASSERT_TRUE(file.setValue(u"o"_s, u"inary"_s, regDword(7), kTime));
        ASSERT_TRUE(file.createKey(u"o\\Fuzz"_s, kTime));
        ASSERT_TRUE(file.setValue(u"o\\Fuzz"_s, QString(), regDword(8), kTime));
        const std::optional<WineRegFile> again = WineRegFile::parse(file.serialize());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->value(u"o"_s, u"inary"_s), regDword(7));
        EXPECT_EQ(again->value(u"o\\Fuzz"_s, QString()), regDword(8));
        EXPECT_EQ(again->serialize(), file.serialize());
    }
}

TEST(WineRegFile, RemovingAValueDropsItsLinesAndRenewsTheKeyTime) {
    WineRegFile file = parsed(wrapped("\n[Software\\\\T] 1700000000\n#time=1da1747c66d0000\n"
                                      "\"A\"=dword:00000001\n\"B\"=hex:01,\\\n  02\n\n"
                                      "[Software\\\\U] 1700000000\n#time=1da1747c66d0000\n\"A\"=\"u\"\n"));
    EXPECT_TRUE(file.removeValue(u"software\\t"_s, u"b"_s, kTime));
    EXPECT_EQ(file.serialize(), wrapped("\n[Software\\\\T] 1796561295\n#time=1dd85800fa10402\n"
                                        "\"A\"=dword:00000001\n\n"
                                        "[Software\\\\U] 1700000000\n#time=1da1747c66d0000\n\"A\"=\"u\"\n"));
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
