// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "catalogue/XmlDocument.h"
#include "support/LargeCatalogue.h"

namespace tavimor::test {
namespace {

using CtlFiles = CtlFixture;

const QString kRunDialogPlace =
    QStringLiteral("Start Menu/Run Dialog: "
                   "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"
                   "\\NoRun: ");

TEST_F(CtlFiles, DiffPrintsExactlyWhatApplyWrites) {
    const QString saved = path("saved.rds");
    ASSERT_EQ(run({QStringLiteral("save"), saved}).status, 0);

    // A fresh registry holds none of the values, so all 55 on/off values are to be written.
    const Result fresh = run({QStringLiteral("diff"), saved});
    EXPECT_EQ(fresh.status, 1) << fresh.err.toStdString();
    QStringList lines = fresh.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 56);
    EXPECT_EQ(lines.takeLast(),
              QLatin1String("A restart of Windows is needed before this change takes effect."));
    EXPECT_TRUE(lines.contains(kRunDialogPlace + QStringLiteral("absent -> 0 (restart)")));
    EXPECT_EQ(registryBytes(), readWholeFile(path("registry.reg"), 1 << 20)); // diff writes nothing

    const Result applied = run({QStringLiteral("apply"), saved});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_EQ(applied.out, fresh.out);
    EXPECT_EQ(noRun(), QLatin1String("0"));
    const Result same = run({QStringLiteral("diff"), saved});
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, QLatin1String("Nothing to do.\n"));

    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")}).status, 0);
    const Result differs = run({QStringLiteral("diff"), saved});
    EXPECT_EQ(differs.status, 1);
    const QString line = kRunDialogPlace + QStringLiteral("1 -> 0 (restart)\n");
    EXPECT_EQ(differs.out,
              line + QStringLiteral("A restart of Windows is needed before this change takes effect.\n"));
    EXPECT_EQ(run({QStringLiteral("apply"), saved}).out, differs.out);
    EXPECT_EQ(run({QStringLiteral("apply"), saved}).out, QLatin1String("Nothing to do.\n"));
}

TEST_F(CtlFiles, OnlySetPushesTheEntriesAFileSetsAndLeavesTheRestAlone) {
    // A settings file with three restrictions on and everything else at its default.
    QString three = builtinCatalogueText();
    for (const char* name : {"NoRun", "NoFind", "NoDispCpl"}) {
        const qsizetype at = three.indexOf(QStringLiteral("<REGNAME>%1</REGNAME>").arg(QLatin1String(name)));
        three.replace(three.indexOf(QLatin1String("<CURRENTVALUE>0</CURRENTVALUE>"), at), 30,
                      QStringLiteral("<CURRENTVALUE>1</CURRENTVALUE>"));
    }
    ASSERT_TRUE(writeFileAtomically(path("three.rds"), rds(three)));
    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("NoClose"), QStringLiteral("1")}).status, 0);

    const Result planned = run({QStringLiteral("diff"), QStringLiteral("--only-set"), path("three.rds")});
    EXPECT_EQ(planned.status, 1);
    EXPECT_EQ(planned.out.count(QLatin1String(" -> 1")), 3) << planned.out.toStdString();
    const Result applied = run({QStringLiteral("apply"), QStringLiteral("--only-set"), path("three.rds")});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_EQ(applied.out, planned.out);
    EXPECT_EQ(noRun(), QLatin1String("1"));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoClose")), QLatin1String("1"));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoLogOff")), QString());
    // Without --only-set the same file pins the other 52, NoClose back to 0 among them.
    EXPECT_EQ(run({QStringLiteral("diff"), path("three.rds")}).out.count(QLatin1Char('\n')), 53);
}

TEST_F(CtlFiles, ApplyStopsAtAValueThatIsNoNumber) {
    QString broken = builtinCatalogueText();
    const qsizetype noRun = broken.indexOf(QLatin1String("<REGNAME>NoRun</REGNAME>"));
    const qsizetype current = broken.indexOf(QLatin1String("<CURRENTVALUE>0</CURRENTVALUE>"), noRun);
    broken.replace(current, 30, QStringLiteral("<CURRENTVALUE>Null</CURRENTVALUE>"));
    ASSERT_TRUE(writeFileAtomically(path("broken.rds"), rds(broken)));

    const Result planned = run({QStringLiteral("diff"), path("broken.rds")});
    EXPECT_EQ(planned.status, 2);
    const Result r = run({QStringLiteral("apply"), path("broken.rds")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        r.err.contains(QLatin1String("Start Menu/Run Dialog: \"Null\" is not a number; the entries after it "
                                     "were not applied.")))
        << r.err.toStdString();
    // The entries before it were written and printed, those after it were not.
    EXPECT_EQ(r.out, planned.out);
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 26);
    EXPECT_EQ(registryValue(QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"),
                            QStringLiteral("NoDispCpl")),
              QLatin1String("0"));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoFind")), QString());
}

TEST_F(CtlFiles, MissingOrForeignFilesFailAndReadingCommandsCreateNoTarget) {
    const Result missing = run({QStringLiteral("apply"), path("missing.rds")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, QStringLiteral("tavimorctl: %1 does not exist\n").arg(path("missing.rds")));
    EXPECT_EQ(run({QStringLiteral("diff"), path("missing.rds")}).status, 2);

    ASSERT_TRUE(writeFileAtomically(path("plain.rds"), "<TAVIMOR/>"));
    const Result plain = run({QStringLiteral("diff"), path("plain.rds")});
    EXPECT_EQ(plain.status, 2);
    EXPECT_TRUE(plain.err.contains(QLatin1String("Not a valid tavimor file")));
    EXPECT_EQ(run({QStringLiteral("export-xml"), path("plain.rds")}).status, 1);
    EXPECT_EQ(run({QStringLiteral("save"), path("no/such/folder/x.rds")}).status, 1);

    // A mistyped target is an error naming it, never a fresh machine.
    const QString typo = path("typo/dir/x.reg");
    for (const QStringList& args : QList<QStringList>{{QStringLiteral("list")},
                                                      {QStringLiteral("show"), QStringLiteral("NoRun")},
                                                      {QStringLiteral("diff"), path("plain.rds")},
                                                      {QStringLiteral("drives")}}) {
        const Result r = run(QStringList{QStringLiteral("--target"), QStringLiteral("file:") + typo} + args);
        EXPECT_EQ(r.status, args.first() == QLatin1String("diff") ? 2 : 1);
        EXPECT_EQ(r.err, QStringLiteral("tavimorctl: The registry file %1 does not exist.\n").arg(typo));
    }
    EXPECT_FALSE(QFileInfo::exists(path("typo")));
    // A command that writes makes it.
    EXPECT_EQ(run({QStringLiteral("--target"), QStringLiteral("file:") + typo, QStringLiteral("set"),
                   QStringLiteral("NoRun"), QStringLiteral("1")})
                  .status,
              0);
}

TEST_F(CtlFiles, DashIsStandardInputAndOutput) {
    const Result saved = run({QStringLiteral("save"), QStringLiteral("-")});
    ASSERT_EQ(saved.status, 0) << saved.err.toStdString();
    m_stdin = saved.bytes;
    const Result exported = run({QStringLiteral("export-xml"), QStringLiteral("-")});
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.out.startsWith(QLatin1String("<?xml")));
    EXPECT_EQ(run({QStringLiteral("diff"), QStringLiteral("-")}).status, 1);

    m_stdin = exported.out.toUtf8();
    const Result imported = run({QStringLiteral("import-xml"), QStringLiteral("-"), QStringLiteral("-")});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    m_stdin = imported.bytes;
    EXPECT_EQ(run({QStringLiteral("export-xml"), QStringLiteral("-")}).out, exported.out);
    EXPECT_EQ(run({QStringLiteral("--json"), QStringLiteral("save"), QStringLiteral("-")}).status, 2);
}

TEST_F(CtlFiles, ExportAndImportXml) {
    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")}).status, 0);
    ASSERT_EQ(run({QStringLiteral("save"), path("saved.rds")}).status, 0);
    const Result exported = run({QStringLiteral("export-xml"), path("saved.rds")});
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    XmlDocument document;
    ASSERT_TRUE(document.loadXML(exported.out));
    EXPECT_EQ(
        document.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]/VALUES/CURRENTVALUE"))
            .text(),
        QLatin1String("1"));
    EXPECT_TRUE(exported.out.contains(QLatin1String("\n\t<REGISTRYSETTINGS Section=\"Display\">")));

    ASSERT_TRUE(writeFileAtomically(path("catalogue.xml"), exported.out.toUtf8()));
    EXPECT_EQ(QFileInfo(path("imported.rds")).exists(), false);
    const Result imported = run({QStringLiteral("import-xml"), path("catalogue.xml"), path("imported.rds")});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.endsWith(QLatin1String("imported.rds (7 sections, 57 entries).\n")));
    EXPECT_EQ(run({QStringLiteral("export-xml"), path("imported.rds")}).out, exported.out);
}

TEST_F(CtlFiles, ImportRefusesAnIncompleteCatalogueAndWritesNothing) {
    QString incomplete = builtinCatalogueText();
    const qsizetype noRun = incomplete.indexOf(QLatin1String("<REGNAME>NoRun</REGNAME>"));
    const qsizetype pathStart = incomplete.lastIndexOf(QLatin1String("<PATH>"), noRun);
    incomplete.remove(pathStart, incomplete.indexOf(QLatin1String("</PATH>"), pathStart) + 7 - pathStart);
    ASSERT_TRUE(writeFileAtomically(path("incomplete.xml"), incomplete.toUtf8()));

    const Result r = run({QStringLiteral("import-xml"), path("incomplete.xml"), path("out.rds")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        r.err.contains(QLatin1String("\"Run Dialog\" (TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]) has no PATH")))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.rds")));

    QByteArray crowded = "<TAVIMOR";
    for (int i = 0; i < 40000; ++i)
        crowded += " a" + QByteArray::number(i) + "=\"\"";
    crowded += "><REGISTRYSETTINGS/></TAVIMOR>";
    ASSERT_TRUE(writeFileAtomically(path("crowded.xml"), crowded));
    ASSERT_TRUE(writeFileAtomically(path("crowded.rds"), rds(QString::fromLatin1(crowded))));
    const Result imported = run({QStringLiteral("import-xml"), path("crowded.xml"), path("out.rds")});
    EXPECT_EQ(imported.status, 1);
    EXPECT_TRUE(imported.err.contains(QLatin1String("crowded.xml: The catalogue cannot be read: an element "
                                                    "has 40000 attributes; at most 64 are accepted.")))
        << imported.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.rds")));
    const Result exported = run({QStringLiteral("export-xml"), path("crowded.rds")});
    EXPECT_EQ(exported.status, 1);
    EXPECT_TRUE(exported.err.contains(QLatin1String("an element has 40000 attributes")))
        << exported.err.toStdString();
    // A catalogue whose settings file no reader would open again is not written either.
    ASSERT_TRUE(writeFileAtomically(path("large.xml"), largeCatalogueText()));
    const Result tooLarge = run({QStringLiteral("import-xml"), path("large.xml"), path("out.rds")});
    EXPECT_EQ(tooLarge.status, 1);
    EXPECT_TRUE(tooLarge.err.endsWith(QLatin1String(
        "out.rds was not written: the settings file would be 66.7 MiB, larger than the 64 MiB a settings "
        "file may have to be opened again\n")))
        << tooLarge.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.rds")));

    const Result diffed = run({QStringLiteral("diff"), path("crowded.rds")});
    EXPECT_EQ(diffed.status, 2);
    EXPECT_TRUE(diffed.err.contains(QLatin1String("an element has 40000 attributes")))
        << diffed.err.toStdString();
}

} // namespace
} // namespace tavimor::test
