// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "catalogue/XmlDocument.h"
#include "support/LargeCatalogue.h"

namespace tavimor::test {
namespace {

class CtlFiles : public CtlFixture {
protected:
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
};

const QString kRunDialogPlace =
    u"Start Menu/Run Dialog: "
    u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"
    "\\NoRun: "_s;
const QString kRestart = u"A restart of Windows is needed before this change takes effect.\n"_s;

// A fresh registry against a saved file, apply and "Nothing to do." run end to end in ctl_end_to_end.sh.
TEST_F(CtlFiles, DiffPrintsExactlyWhatApplyWrites) {
    ok("save", path("saved.rds"));
    const Result fresh = ctl("diff", path("saved.rds"));
    EXPECT_EQ(fresh.status, 1) << fresh.err.toStdString();
    EXPECT_TRUE(fresh.out.contains(kRunDialogPlace + u"absent -> 0 (restart)\n"_s))
        << fresh.out.toStdString();
    EXPECT_TRUE(fresh.out.endsWith(kRestart));
    EXPECT_EQ(ok("apply", path("saved.rds")).out, fresh.out);

    ok("set", "NoRun", "disable");
    const Result differs = ctl("diff", path("saved.rds"));
    EXPECT_EQ(differs.status, 1);
    EXPECT_EQ(differs.out, kRunDialogPlace + u"1 -> 0 (restart)\n"_s + kRestart);
    EXPECT_EQ(ctl("apply", path("saved.rds")).out, differs.out);
    EXPECT_EQ(ctl("apply", path("saved.rds")).out, "Nothing to do.\n"_L1);
}

TEST_F(CtlFiles, OnlySetPushesTheEntriesAFileSetsAndLeavesTheRestAlone) {
    // A settings file with three restrictions on and everything else at its default.
    ASSERT_TRUE(
        writeFileAtomically(path("three.rds"), rds(withCurrent({"NoRun", "NoFind", "NoDispCpl"}, u"1"_s))));
    ok("set", "NoClose", "1");
    const Result planned = ctl("diff", "--only-set", path("three.rds"));
    EXPECT_EQ(planned.status, 1);
    EXPECT_EQ(planned.out.count(" -> 1"_L1), 3) << planned.out.toStdString();
    EXPECT_EQ(ok("apply", "--only-set", path("three.rds")).out, planned.out);
    EXPECT_EQ(noRun(), "1"_L1);
    EXPECT_EQ(explorer("NoClose"), "1"_L1);
    EXPECT_EQ(explorer("NoLogOff"), QString());
    // Without --only-set the same file pins the other 52, NoClose back to 0 among them.
    EXPECT_EQ(ctl("diff", path("three.rds")).out.count(u'\n'), 53);
}

TEST_F(CtlFiles, ApplyStopsAtAValueThatIsNoNumber) {
    ASSERT_TRUE(writeFileAtomically(path("broken.rds"), rds(withCurrent({"NoRun"}, u"Null"_s))));
    const Result planned = ctl("diff", path("broken.rds"));
    EXPECT_EQ(planned.status, 2);
    const Result r = ctl("apply", path("broken.rds"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(
        "Start Menu/Run Dialog: \"Null\" is not a number; the entries after it were not applied."_L1))
        << r.err.toStdString();
    // The entries before it were written and printed, those after it were not.
    EXPECT_EQ(r.out, planned.out);
    EXPECT_EQ(r.out.count(u'\n'), 26);
    EXPECT_EQ(
        registryValue(u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"_s, u"NoDispCpl"_s),
        "0"_L1);
    EXPECT_EQ(explorer("NoFind"), QString());
}

TEST_F(CtlFiles, MissingOrForeignFilesFailAndReadingCommandsCreateNoTarget) {
    const Result missing = ctl("apply", path("missing.rds"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, u"tavimorctl: %1 does not exist\n"_s.arg(path("missing.rds")));
    ASSERT_TRUE(writeFileAtomically(path("plain.rds"), "<TAVIMOR/>"));
    const Result plain = ctl("diff", path("plain.rds"));
    EXPECT_EQ(plain.status, 2);
    EXPECT_TRUE(plain.err.contains("Not a valid tavimor file"_L1));
    EXPECT_EQ(ctl("export-xml", path("plain.rds")).status, 1);
    EXPECT_EQ(ctl("save", path("no/such/folder/x.rds")).status, 1);

    // A mistyped target is an error naming it, never a fresh machine; a command that writes makes it.
    const QString typo = u"file:"_s + path("typo/dir/x.reg");
    for (const QStringList& args :
         QList<QStringList>{{u"show"_s, u"NoRun"_s}, {u"diff"_s, path("plain.rds")}, {u"drives"_s}}) {
        const Result r = run(QStringList{u"--target"_s, typo} + args);
        EXPECT_EQ(r.status, args.first() == "diff"_L1 ? 2 : 1);
        EXPECT_EQ(r.err, u"tavimorctl: The registry file %1 does not exist.\n"_s.arg(typo.mid(5)));
    }
    EXPECT_FALSE(QFileInfo::exists(path("typo")));
    EXPECT_EQ(ctl("--target", typo, "set", "NoRun", "1").status, 0);
}

TEST_F(CtlFiles, ExportAndImportXmlThroughFilesAndStandardInput) {
    ok("set", "NoRun", "1");
    m_stdin = ok("save", "-").bytes;
    const Result exported = ok("export-xml", "-");
    XmlDocument document;
    ASSERT_TRUE(document.loadXML(exported.out));
    EXPECT_EQ(document.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]/VALUES/CURRENTVALUE"_s).text(),
              "1"_L1);
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

TEST_F(CtlFiles, ImportRefusesAnIncompleteCatalogueAndWritesNothing) {
    QString incomplete = builtinCatalogueText();
    const qsizetype noRun = incomplete.indexOf("<REGNAME>NoRun</REGNAME>"_L1);
    const qsizetype pathStart = incomplete.lastIndexOf("<PATH>"_L1, noRun);
    incomplete.remove(pathStart, incomplete.indexOf("</PATH>"_L1, pathStart) + 7 - pathStart);
    ASSERT_TRUE(writeFileAtomically(path("incomplete.xml"), incomplete.toUtf8()));
    const Result r = ctl("import-xml", path("incomplete.xml"), path("out.rds"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("\"Run Dialog\" (TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]) has no PATH"_L1))
        << r.err.toStdString();

    QByteArray crowded = "<TAVIMOR";
    for (int i = 0; i < 40000; ++i)
        crowded += " a" + QByteArray::number(i) + "=\"\"";
    crowded += "><REGISTRYSETTINGS/></TAVIMOR>";
    ASSERT_TRUE(writeFileAtomically(path("crowded.xml"), crowded));
    ASSERT_TRUE(writeFileAtomically(path("crowded.rds"), rds(QString::fromLatin1(crowded))));
    const Result imported = ctl("import-xml", path("crowded.xml"), path("out.rds"));
    EXPECT_EQ(imported.status, 1);
    EXPECT_TRUE(imported.err.contains(
        "crowded.xml: The catalogue cannot be read: an element has 40000 attributes; at most 64 are accepted."_L1))
        << imported.err.toStdString();
    for (const char* command : {"export-xml", "diff"}) {
        const Result read = ctl(command, path("crowded.rds"));
        EXPECT_EQ(read.status, command == std::string("diff") ? 2 : 1);
        EXPECT_TRUE(read.err.contains("an element has 40000 attributes"_L1)) << read.err.toStdString();
    }
    // A catalogue whose settings file no reader would open again is not written either.
    ASSERT_TRUE(writeFileAtomically(path("large.xml"), largeCatalogueText()));
    const Result tooLarge = ctl("import-xml", path("large.xml"), path("out.rds"));
    EXPECT_EQ(tooLarge.status, 1);
    EXPECT_TRUE(tooLarge.err.endsWith(
        "out.rds was not written: the settings file would be 66.7 MiB, larger than the 64 MiB a settings "
        "file may have to be opened again\n"_L1))
        << tooLarge.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.rds")));
}

} // namespace
} // namespace tavimor::test
