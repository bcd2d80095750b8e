// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "support/LargeCatalogue.h"

namespace tavimor::test {
namespace {

using CtlFiles = CtlFixture;

// The built-in catalogue with the CURRENTVALUE of each named entry replaced.
QString withCurrent(std::initializer_list<const char*> names, const QString& value) {
    QString text = builtinCatalogueText();
    for (const char* name : names) {
        const qsizetype at = text.indexOf(u"<REGNAME>%1</REGNAME>"_s.arg(QLatin1String(name)));
        text.replace(text.indexOf("<CURRENTVALUE>0</CURRENTVALUE>"_L1, at), 30,
                     u"<CURRENTVALUE>%1</CURRENTVALUE>"_s.arg(value));
    }
    return text;
}

TEST_F(CtlFiles, OnlySetPushesTheEntriesAFileSetsAndLeavesTheRestAlone) {
    // A settings file with three restrictions on and everything else at its default.
    ASSERT_TRUE(
        writeFileAtomically(path("three.rds"), rds(withCurrent({"NoRun", "NoFind", "NoDispCpl"}, u"1"_s))));
    ok("set", "NoClose", "1");
    const Result planned = exits(1, "diff", "--only-set", path("three.rds"));
    EXPECT_EQ(planned.out.count(" -> 1"_L1), 3) << planned.out.toStdString();
    EXPECT_EQ(ok("apply", "--only-set", path("three.rds")).out, planned.out);
    EXPECT_EQ(explorer("NoClose"), "1"_L1); // not in the file: left alone
}

TEST_F(CtlFiles, ApplyStopsAtAValueThatIsNoNumber) {
    ASSERT_TRUE(writeFileAtomically(path("broken.rds"), rds(withCurrent({"NoRun"}, u"Null"_s))));
    const Result planned = exits(2, "diff", path("broken.rds"));
    const Result r = exits(1, "apply", path("broken.rds"));
    EXPECT_EQ(
        r.err,
        "tavimorctl: not applied: Start Menu/Run Dialog: \"Null\" is not a number; the entries after it were "
        "not applied\n"_L1);
    // The entries before it were written and printed, those after it were not.
    EXPECT_EQ(r.out, planned.out);
    EXPECT_EQ(r.out.count(u'\n'), 26);
}

TEST_F(CtlFiles, MissingOrForeignFilesFailAndReadingCommandsCreateNoTarget) {
    EXPECT_EQ(fails(1, "apply", path("missing.rds")).err,
              u"tavimorctl: %1 does not exist\n"_s.arg(path("missing.rds")));
    ASSERT_TRUE(writeFileAtomically(path("plain.rds"), "<TAVIMOR/>"));
    EXPECT_TRUE(fails(2, "diff", path("plain.rds")).err.contains("Not a valid tavimor file"_L1));
    fails(1, "save", path("no/such/folder/x.rds"));

    // A mistyped target is an error naming it, never a fresh machine; a command that writes makes it.
    const QString typo = u"file:"_s + path("typo/dir/x.reg");
    const QString missing = u"tavimorctl: The registry file %1 does not exist.\n"_s.arg(typo.mid(5));
    EXPECT_EQ(fails(1, "--target", typo, "show", "NoRun").err, missing);
    EXPECT_EQ(fails(2, "--target", typo, "diff", path("plain.rds")).err, missing);
    EXPECT_FALSE(QFileInfo::exists(path("typo")));
    // Turning one file into another needs no registry, so none is opened.
    ASSERT_TRUE(writeFileAtomically(path("builtin.rds"), rds(builtinCatalogueText())));
    EXPECT_EQ(ok("--target", typo, "export-xml", path("builtin.rds")).out,
              ok("export-xml", path("builtin.rds")).out);
    EXPECT_FALSE(QFileInfo::exists(path("typo")));
    EXPECT_EQ(ctl("--target", typo, "set", "NoRun", "1").status, 0);
}

TEST_F(CtlFiles, ExportAndImportXmlThroughFilesAndStandardInput) {
    m_stdin = ok("save", "-").bytes;
    const Result exported = ok("export-xml", "-");
    EXPECT_TRUE(exported.out.contains("\n\t<REGISTRYSETTINGS Section=\"Display\">"_L1));
    EXPECT_EQ(ctl("diff", "-").status, 1);

    m_stdin = exported.out.toUtf8();
    m_stdin = ok("import-xml", "-", "-").bytes;
    EXPECT_EQ(ctl("export-xml", "-").out, exported.out);
    EXPECT_EQ(ctl("--json", "save", "-").status, 2);

    ASSERT_TRUE(writeFileAtomically(path("catalogue.xml"), exported.out.toUtf8()));
    const Result imported = ok("import-xml", path("catalogue.xml"), path("imported.rds"));
    EXPECT_TRUE(imported.out.endsWith("imported.rds (7 sections, 57 entries).\n"_L1));
    EXPECT_EQ(ctl("export-xml", path("imported.rds")).out, exported.out);
}

// What an incomplete catalogue lacks: CatalogueCheck.NamesTheEntryAndTheMissingElement, CtlJson.
TEST_F(CtlFiles, ImportRefusesWhatCouldNotBeReadAgainAndWritesNothing) {
    QByteArray crowded = "<TAVIMOR";
    for (int i = 0; i < 40000; ++i)
        crowded += " a" + QByteArray::number(i) + "=\"\"";
    crowded += "><REGISTRYSETTINGS/></TAVIMOR>";
    ASSERT_TRUE(writeFileAtomically(path("crowded.xml"), crowded));
    ASSERT_TRUE(writeFileAtomically(path("crowded.rds"), rds(QString::fromLatin1(crowded))));
    const Result imported = fails(1, "import-xml", path("crowded.xml"), path("out.rds"));
    EXPECT_TRUE(imported.err.contains(
        "crowded.xml: The catalogue cannot be read: an element has 40000 attributes; at most 64 are accepted."_L1))
        << imported.err.toStdString();
    EXPECT_TRUE(
        fails(1, "export-xml", path("crowded.rds")).err.contains("an element has 40000 attributes"_L1));
    // A catalogue whose settings file no reader would open again is not written either.
    ASSERT_TRUE(writeFileAtomically(path("large.xml"), largeCatalogueText()));
    const Result tooLarge = fails(1, "import-xml", path("large.xml"), path("out.rds"));
    EXPECT_TRUE(tooLarge.err.endsWith(
        "out.rds was not written: the settings file would be 66.7 MiB, larger than the 64 MiB a settings "
        "file may have to be opened again\n"_L1))
        << tooLarge.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.rds")));
}

} // namespace
} // namespace tavimor::test
