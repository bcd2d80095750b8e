#include "CtlFixture.h"
#include "catalogue/XmlDocument.h"
#include "support/LargeCatalogue.h"

namespace tavimor::test {
namespace {

using CtlFiles = CtlFixture;

TEST_F(CtlFiles, SaveDiffApplyRoundTrip) {
    const QString saved = path("saved.rds");
    ASSERT_EQ(run({QStringLiteral("save"), saved}).status, 0);

    const Result same = run({QStringLiteral("diff"), saved});
    EXPECT_EQ(same.status, 0) << same.err.toStdString();
    EXPECT_EQ(same.out, QLatin1String("No differences.\n"));

    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")}).status, 0);
    const Result differs = run({QStringLiteral("diff"), saved});
    EXPECT_EQ(differs.status, 1);
    EXPECT_EQ(differs.out, QLatin1String("Start Menu/Run Dialog: 1 -> 0\n"));
    EXPECT_EQ(noRun(), QLatin1String("1")); // diff writes nothing

    const Result applied = run({QStringLiteral("apply"), saved});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_TRUE(applied.out.contains(QLatin1String("Start Menu/Run Dialog: 1 -> 0 (restart)\n")));
    EXPECT_TRUE(applied.out.endsWith(QLatin1String("needed before this change takes effect.\n")));
    EXPECT_EQ(noRun(), QLatin1String("0"));
    EXPECT_EQ(run({QStringLiteral("diff"), saved}).status, 0);

    // Everything is in the registry now, so a second apply changes nothing.
    EXPECT_EQ(run({QStringLiteral("apply"), saved}).out, QLatin1String("No values changed.\n"));
}

TEST_F(CtlFiles, ApplyStopsAtAValueThatIsNoNumber) {
    QString broken = builtinCatalogueText();
    const qsizetype noRun = broken.indexOf(QLatin1String("<REGNAME>NoRun</REGNAME>"));
    const qsizetype current = broken.indexOf(QLatin1String("<CURRENTVALUE>0</CURRENTVALUE>"), noRun);
    broken.replace(current, 30, QStringLiteral("<CURRENTVALUE>Null</CURRENTVALUE>"));
    ASSERT_TRUE(writeFileAtomically(path("broken.rds"), rds(broken)));

    const Result r = run({QStringLiteral("apply"), path("broken.rds")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("stopped at Start Menu/Run Dialog: \"Null\" is not a number")))
        << r.err.toStdString();
    // The entries before it were written, those after it were not.
    EXPECT_EQ(registryValue(QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"),
                            QStringLiteral("NoDispCpl")),
              QLatin1String("0"));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoFind")), QString());
}

TEST_F(CtlFiles, MissingOrForeignFilesFail) {
    const Result missing = run({QStringLiteral("apply"), path("missing.rds")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QLatin1String("Tavimor 4.0: RDS file does not exist.\n")));

    ASSERT_TRUE(writeFileAtomically(path("plain.rds"), "<TAVIMOR/>"));
    const Result plain = run({QStringLiteral("diff"), path("plain.rds")});
    EXPECT_EQ(plain.status, 1);
    EXPECT_TRUE(plain.err.contains(QLatin1String("Not a valid tavimor file")));
    EXPECT_EQ(run({QStringLiteral("export-xml"), path("plain.rds")}).status, 1);

    EXPECT_EQ(run({QStringLiteral("save"), path("no/such/folder/x.rds")}).status, 1);
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
    EXPECT_EQ(diffed.status, 1);
    EXPECT_TRUE(diffed.err.contains(QLatin1String("an element has 40000 attributes")))
        << diffed.err.toStdString();
}

} // namespace
} // namespace tavimor::test
