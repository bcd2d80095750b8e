// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

using CtlBrowse = CtlFixture;

TEST_F(CtlBrowse, ListsSectionsWithTheirEntryCounts) {
    const Result r = run({QStringLiteral("list")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_TRUE(lines[0].startsWith(QLatin1String("0  Display")));
    EXPECT_TRUE(lines[4].contains(QLatin1String("Start Menu")));
    EXPECT_TRUE(lines[4].endsWith(QLatin1String("8 entries")));
}

TEST_F(CtlBrowse, ListsASectionByNamePositionOrAddressWithRestartMarks) {
    const Result byName = run({QStringLiteral("list"), QStringLiteral("start menu")});
    ASSERT_EQ(byName.status, 0) << byName.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("list"), QStringLiteral("4")}).out, byName.out);
    EXPECT_EQ(run({QStringLiteral("list"), QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]")}).out, byName.out);

    const QStringList lines = byName.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_TRUE(lines[0].startsWith(QLatin1String("Name")));
    EXPECT_TRUE(lines[0].contains(QLatin1String("Current Machine Settings")));
    const QString runDialog = lines[4];
    EXPECT_TRUE(runDialog.startsWith(QLatin1String("Run Dialog"))) << runDialog.toStdString();
    EXPECT_TRUE(runDialog.endsWith(QLatin1Char('*')));
    // The machine column lines up under its heading.
    EXPECT_EQ(runDialog.lastIndexOf(QLatin1String("Enabled")), lines[0].indexOf(QLatin1String("Current")));

    const Result unknown = run({QStringLiteral("list"), QStringLiteral("Nowhere")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("no section \"Nowhere\"")));
}

TEST_F(CtlBrowse, ShowFindsAnEntryByAddressSectionNameOrRegname) {
    const Result byAddress =
        run({QStringLiteral("show"), QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]")});
    ASSERT_EQ(byAddress.status, 0) << byAddress.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("show"), QStringLiteral("Start Menu/Run Dialog")}).out, byAddress.out);
    EXPECT_EQ(run({QStringLiteral("show"), QStringLiteral("start menu/run dialog")}).out, byAddress.out);
    EXPECT_EQ(run({QStringLiteral("show"), QStringLiteral("norun")}).out, byAddress.out);
    for (const char* line :
         {"Section: Start Menu\n", "Name: Run Dialog\n", "Regname: NoRun\n", "Values: 0, 1\n",
          "Restart: Yes\n", "Tavimor Settings: Enabled (0)\n", "Current Machine Settings: Enabled (0)\n"})
        EXPECT_TRUE(byAddress.out.contains(QLatin1String(line))) << line;
    EXPECT_FALSE(byAddress.out.contains(QLatin1String("Comment:")));
    EXPECT_TRUE(byAddress.out.contains(QLatin1String("In the registry: NoRun = absent\n")));
    EXPECT_TRUE(run({QStringLiteral("show"), QStringLiteral("NoSaveSettings")})
                    .out.contains(QLatin1String("Comment: Doesnot work in Windows 98\n")));
}

TEST_F(CtlBrowse, UnknownAndAmbiguousEntriesFail) {
    const Result unknown = run({QStringLiteral("show"), QStringLiteral("NoSuchThing")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, QLatin1String("tavimorctl: no entry \"NoSuchThing\"\n"));
    EXPECT_EQ(run({QStringLiteral("show"), QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[99]")}).status,
              1);

    QString twice = builtinCatalogueText();
    twice.replace(QLatin1String("<REGNAME>NoFind</REGNAME>"), QLatin1String("<REGNAME>NoRun</REGNAME>"));
    ASSERT_TRUE(writeFileAtomically(path("twice.rds"), rds(twice)));
    const Result ambiguous =
        run({QStringLiteral("--file"), path("twice.rds"), QStringLiteral("show"), QStringLiteral("NoRun")});
    EXPECT_EQ(ambiguous.status, 1);
    EXPECT_TRUE(ambiguous.err.contains(QLatin1String("Start Menu/Run Dialog, Start Menu/Find Dialog")))
        << ambiguous.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("--file"), path("twice.rds"), QStringLiteral("show"),
                   QStringLiteral("Start Menu/Find Dialog")})
                  .status,
              0);
}

TEST_F(CtlBrowse, UsageErrorsExitTwoAndHelpExitsZero) {
    const QByteArray fresh = registryBytes();
    const QList<QStringList> wrong{
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("show")},
        {QStringLiteral("set"), QStringLiteral("NoRun")},
        {QStringLiteral("password"), QStringLiteral("extra")},
        {QStringLiteral("list"), QStringLiteral("--bogus")},
        {QStringLiteral("list"), QStringLiteral("--file")},
        {QStringLiteral("list"), QStringLiteral("--new-password-file"), QStringLiteral("x")},
        {QStringLiteral("--version=1")},
        {QStringLiteral("list"), QStringLiteral("--only-set")},
        {QStringLiteral("apply"), QStringLiteral("--all"), QStringLiteral("x.rds")}};
    for (const QStringList& args : wrong) {
        const Result r = run(args);
        EXPECT_EQ(r.status, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.startsWith(QLatin1String("tavimorctl: ")));
        EXPECT_TRUE(r.err.endsWith(QLatin1String("; see tavimorctl --help\n"))) << r.err.toStdString();
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1);
    }
    // A usage error touches nothing, not even the registry file.
    EXPECT_EQ(registryBytes(), fresh);
    // Values are checked against the entry, so these come after loading.
    EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("maybe")}).status, 2);
    // Words are not read as the letters they happen to hold ("off" is not F: O:).
    for (const char* bad : {"A9", "off", "clear", "C-A", "", "A,,none", "AB"})
        EXPECT_EQ(run({QStringLiteral("drives"), QLatin1String(bad)}).status, 2) << bad;
    EXPECT_EQ(registryBytes(), fresh);

    const Result help = run({QStringLiteral("set"), QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QLatin1String("Usage: tavimorctl [OPTIONS] set ENTRY VALUE")));
    const QString usage = run({QStringLiteral("-h")}).out;
    EXPECT_TRUE(usage.contains(QLatin1String("import-xml FILE.xml OUT.rds")));
    EXPECT_TRUE(usage.contains(QLatin1String("  3  the administrator password is wrong or missing")));
    EXPECT_EQ(run({QStringLiteral("--version")}).out, QLatin1String("tavimorctl 4.0\n"));
}

} // namespace
} // namespace tavimor::test
