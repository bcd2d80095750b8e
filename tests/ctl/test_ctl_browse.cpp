// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

using CtlBrowse = CtlFixture;

TEST_F(CtlBrowse, ListsSectionsAndASectionByNamePositionOrAddressWithRestartMarks) {
    const QStringList sections = ok("list").out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(sections.size(), 7);
    EXPECT_TRUE(sections[0].startsWith("0  Display"_L1));

    const Result byName = ok("list", "start menu");
    EXPECT_EQ(ctl("list", "4").out, byName.out);
    EXPECT_EQ(ctl("list", "TAVIMOR/REGISTRYSETTINGS[4]").out, byName.out);
    const QStringList lines = byName.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_TRUE(lines[0].startsWith("Name"_L1) && lines[0].contains("Current Machine Settings"_L1));
    EXPECT_TRUE(lines[4].startsWith("Run Dialog"_L1) && lines[4].endsWith(u'*')) << lines[4].toStdString();
    // The machine column lines up under its heading.
    EXPECT_EQ(lines[4].lastIndexOf("Enabled"_L1), lines[0].indexOf("Current"_L1));

    EXPECT_TRUE(fails(1, "list", "Nowhere").err.contains("no section \"Nowhere\""_L1));
}

TEST_F(CtlBrowse, ShowFindsAnEntryByAddressSectionNameOrRegname) {
    const Result byAddress = ok("show", "TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]");
    EXPECT_EQ(ctl("show", "Start Menu/Run Dialog").out, byAddress.out);
    EXPECT_EQ(ctl("show", "norun").out, byAddress.out);
    for (const char* line : {"Section: Start Menu\n", "Name: Run Dialog\n", "Regname: NoRun\n",
                             "Values: 0, 1\n", "Restart: Yes\n", "Tavimor Settings: Enabled (0)\n",
                             "Current Machine Settings: Enabled (0)\n", "In the registry: NoRun = absent\n"})
        EXPECT_TRUE(byAddress.out.contains(QLatin1String(line))) << line;
    EXPECT_FALSE(byAddress.out.contains("Comment:"_L1));
    EXPECT_TRUE(ctl("show", "NoSaveSettings").out.contains("Comment: Doesnot work in Windows 98\n"_L1));

    EXPECT_EQ(fails(1, "show", "NoSuchThing").err, "tavimorctl: no entry \"NoSuchThing\"\n"_L1);
    fails(1, "show", "TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[99]");

    QString twice = builtinCatalogueText();
    twice.replace("<REGNAME>NoFind</REGNAME>"_L1, "<REGNAME>NoRun</REGNAME>"_L1);
    ASSERT_TRUE(writeFileAtomically(path("twice.rds"), rds(twice)));
    const Result ambiguous = fails(1, "--file", path("twice.rds"), "show", "NoRun");
    EXPECT_TRUE(ambiguous.err.contains("Start Menu/Run Dialog, Start Menu/Find Dialog"_L1))
        << ambiguous.err.toStdString();
    EXPECT_EQ(ctl("--file", path("twice.rds"), "show", "Start Menu/Find Dialog").status, 0);
}

TEST_F(CtlBrowse, UsageErrorsExitTwoTouchNothingAndHelpExitsZero) {
    const QByteArray fresh = fileBytes(path("registry.reg"));
    QList<QStringList> wrong;
    for (const char* args : {"", "frobnicate", "show", "set NoRun", "password extra", "list --bogus",
                             "list --file", "list --new-password-file x", "--version=1", "list --only-set",
                             "apply --all x.rds", "list --format 4", "list --all Display",
                             "export-reg --format=6 x.reg", "unset", "unset --all NoRun",
                             // Values are checked against the entry, so these come after loading.
                             "set NoRun maybe", "set MinPwdLen -1", "set MinPwdLen 2147483648",
                             "set MinPwdLen enable", "set MinPwdLen 1.5"})
        wrong.append(QString::fromLatin1(args).split(u' ', Qt::SkipEmptyParts));
    // Words are not read as the letters they happen to hold ("off" is not F: O:).
    for (const char* bad : {"A9", "off", "clear", "C-A", "", "A,,none", "AB"})
        wrong.append({u"drives"_s, arg(bad)});
    for (const QStringList& args : wrong) {
        const Result r = run(args);
        EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("tavimorctl: "_L1));
        EXPECT_TRUE(r.err.endsWith("; see tavimorctl --help\n"_L1)) << r.err.toStdString();
        EXPECT_EQ(r.err.count(u'\n'), 1);
    }
    // A usage error touches nothing, not even the registry file.
    EXPECT_EQ(fileBytes(path("registry.reg")), fresh);
    EXPECT_EQ(ctl("set", "MinPwdLen", "2147483647").status, 0);

    EXPECT_TRUE(ok("set", "--help").out.startsWith("Usage: tavimorctl [OPTIONS] set ENTRY VALUE"_L1));
    const QString usage = ctl("-h").out;
    EXPECT_TRUE(usage.contains("import-xml FILE.xml OUT.rds"_L1));
    EXPECT_TRUE(usage.contains("  3  the administrator password is wrong or missing"_L1));
    EXPECT_EQ(ctl("--version").out, "tavimorctl 4.0\n"_L1);
}

} // namespace
} // namespace tavimor::test
