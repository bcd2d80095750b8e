// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "grouppolicy/GpoDirectory.h"
#include "grouppolicy/GptIni.h"
#include "grouppolicy/PolFile.h"

namespace tavimor::test {
namespace {

const QString kExplorer = QLatin1String(kExplorerPath);
const QString kMachineExplorer = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;
const QString kOther = u"Software\\Policies\\Other"_s;

using CtlPolicy = CtlFixture;

void writePol(const QString& path, const QList<PolRecord>& records) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    PolFile file;
    file.records = records;
    ASSERT_TRUE(writeFileAtomically(path, file.serialize()));
}
QList<PolRecord> readPol(const QString& path) {
    const std::optional<PolFile> file = PolFile::parse(fileBytes(path));
    EXPECT_TRUE(file) << path.toStdString();
    return file ? file->records : QList<PolRecord>();
}

TEST_F(CtlPolicy, ExportSplitsTheHivesAndKeepsWhatTheCatalogueDoesNotKnow) {
    ok("set", "NoRun", "1");
    ok("set", "ClearRecentDocsOnExit", "1");
    // Samba names the halves in capitals; an older NoRun as text is replaced where it stood.
    const PolRecord foreign = PolRecord::dwordRecord(kOther, u"X"_s, 7);
    writePol(
        pol("USER"),
        {foreign, {kExplorer.toLower(), u"NORUN"_s, REG_SZ, "1\0"}, PolRecord::deletion(kOther, u"Y"_s)});

    const Result r = ok("export-pol", path("gpo"));
    EXPECT_FALSE(QFileInfo::exists(pol("User")));
    EXPECT_EQ(readPol(pol("USER")),
              (QList<PolRecord>{foreign, PolRecord::dwordRecord(kExplorer, u"NoRun"_s, 1),
                                PolRecord::deletion(kOther, u"Y"_s)}));
    EXPECT_EQ(readPol(pol("Machine")),
              QList<PolRecord>{PolRecord::dwordRecord(kMachineExplorer, u"ClearRecentDocsOnExit"_s, 1)});
    EXPECT_TRUE(r.out.contains(QStringLiteral(
        "Registry.pol (2 values, 1 deletion).\n"
        "  kept, not in the catalogue: HKEY_CURRENT_USER\\Software\\Policies\\Other\\X\n"
        "  kept, not in the catalogue: HKEY_CURRENT_USER\\Software\\Policies\\Other\\**del.Y\n")))
        << r.out.toStdString();
    // Exported again, neither file changes, so neither is written.
    const auto written = fileIdentity(pol("USER"));
    EXPECT_EQ(ok("export-pol", path("gpo")).out.count(" is unchanged.\n"_L1), 2);
    EXPECT_EQ(fileIdentity(pol("USER")), written);
}

TEST_F(CtlPolicy, ExportFromASettingsFileWithDeletionsForWhatIsNotSet) {
    ok("set", "NoRun", "1");
    ok("save", path("office.rds"));
    ok("export-pol", "--from", path("office.rds"), "--delete-unset", path("gpo"));
    // The saved file holds the registry's reading: every on/off entry is set; "Null" and "" are not.
    const QList<PolRecord> user = readPol(pol("User"));
    EXPECT_EQ(user.size(), 53);
    EXPECT_TRUE(user.contains(PolRecord::dwordRecord(kExplorer, u"NoRun"_s, 1)));
    EXPECT_TRUE(user.contains(PolRecord::deletion(kExplorer, u"NoDrives"_s)));
    EXPECT_TRUE(
        readPol(pol("Machine"))
            .contains(PolRecord::deletion(
                u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"_s, u"MinPwdLen"_s)));

    fails(1, "export-pol", "--from", path("missing.rds"), path("gpo2"));
    EXPECT_FALSE(QFileInfo::exists(path("gpo2")));
}

TEST_F(CtlPolicy, ABrokenFileStopsEverythingAndStaysAsItWas) {
    const QString dir = path("gpo");
    writePol(pol("User"), {PolRecord::dwordRecord(kOther, u"X"_s, 1)});
    const QByteArray user = fileBytes(pol("User"));
    const QByteArray broken = QByteArray("PReg\x01\0\0\0[\0K", 11);
    QDir().mkpath(dir + u"/Machine"_s);
    ASSERT_TRUE(writeFileAtomically(pol("Machine"), broken));

    for (const char* command : {"export-pol", "import-pol", "diff", "apply"}) {
        const Result r = fails(QLatin1String(command) == "diff"_L1 ? 2 : 1, command, dir);
        EXPECT_TRUE(r.err.contains("Machine/Registry.pol: the record at byte 8 has no key name"_L1))
            << command << r.err.toStdString();
    }
    EXPECT_EQ(fileBytes(pol("User")), user);
    EXPECT_EQ(fileBytes(pol("Machine")), broken);
    EXPECT_EQ(noRun(), QString());
}

TEST_F(CtlPolicy, AFolderOfPolicyFilesIsReadLikeASettingsFile) {
    const QString dir = path("gpo");
    writePol(pol("User"), {PolRecord::dwordRecord(kExplorer.toUpper(), u"norun"_s, 1),
                           PolRecord::deletion(kExplorer, u"NoFind"_s),
                           {kExplorer, u"NoClose"_s, REG_SZ, QByteArray("1\0\0\0", 4)},
                           PolRecord::dwordRecord(kOther, u"X"_s, 1)});

    EXPECT_EQ(ok("import-pol", dir, path("out.rds")).out,
              QStringLiteral("Start Menu/Run Dialog: 1\n"
                             "left as it is: HKEY_CURRENT_USER\\%1\\**del.NoFind deletes a value\n"
                             "left as it is: HKEY_CURRENT_USER\\%1\\NoClose is not a REG_DWORD\n"
                             "not in the catalogue: HKEY_CURRENT_USER\\Software\\Policies\\Other\\X\n"
                             "Wrote %2.\n")
                  .arg(kExplorer, path("out.rds")));

    const Result diff = exits(1, "diff", dir);
    // Only what the files set is written; the settings file made from them says the same with --only-set.
    EXPECT_EQ(diff.out,
              QStringLiteral("Start Menu/Run Dialog: HKEY_CURRENT_USER\\%1\\NoRun: absent -> 1 (restart)\n"
                             "A restart of Windows is needed before this change takes effect.\n")
                  .arg(kExplorer));
    EXPECT_EQ(ctl("diff", "--only-set", path("out.rds")).out, diff.out);
    const QJsonObject object = json("import-pol", dir);
    EXPECT_EQ(object["set"_L1].toArray()[0].toObject()["value"_L1], 1);
    EXPECT_EQ(object["left"_L1].toArray()[1].toObject()["reason"_L1], "not a REG_DWORD"_L1);
    EXPECT_TRUE(object["saved"_L1].isNull());
    ok("apply", dir);
    EXPECT_EQ(noRun(), "1"_L1);
    EXPECT_EQ(ok("apply", dir).out, "Nothing to do.\n"_L1);
}

TEST_F(CtlPolicy, GpoPushRaisesTheVersionOfEachHalfThatChanged) {
    const QString guid = u"{31B2F340-016D-11D2-945F-00C04FB984F9}"_s;
    const QString folder = path("sysvol") + u"/example.test/Policies/"_s + guid;
    const QString gptIni = folder + u"/GPT.INI"_s;
    QDir().mkpath(folder + u"/MACHINE"_s);
    ASSERT_TRUE(writeFileAtomically(gptIni, "[General]\r\nVersion=0\r\n"));
    auto gpo = [&](const char* verb, const QString& name) {
        return QStringList{u"gpo"_s, arg(verb), u"--sysvol"_s, path("sysvol"), u"--gpo"_s, name};
    };
    const QStringList push = gpo("push", guid.mid(1, 36).toLower());

    ok("set", "NoRun", "1");
    const Result first = run(push);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains("the directory cannot be updated: no directory was found"_L1));
    EXPECT_TRUE(
        first.out.contains("GPT.INI version 0 (user 0, machine 0) -> 65536 (user 1, machine 0).\n"_L1));
    EXPECT_EQ(fileBytes(gptIni), "[General]\r\nVersion=65536\r\n");
    EXPECT_FALSE(QFileInfo::exists(folder + u"/MACHINE/Registry.pol"_s));

    ok("set", "ClearRecentDocsOnExit", "1");
    ok("set", "NoRun", "0");
    const QJsonObject pushed = jsonOut(0, push);
    EXPECT_EQ(fileBytes(gptIni), "[General]\r\nVersion=131073\r\n");
    EXPECT_EQ(pushed["gptVersion"_L1].toObject()["after"_L1],
              (QJsonObject{{u"number"_s, 131073}, {u"user"_s, 2}, {u"machine"_s, 1}}));
    const QJsonObject machine = pushed["files"_L1].toArray()[1].toObject();
    EXPECT_EQ(machine["scope"_L1], "machine"_L1);
    EXPECT_EQ(machine["values"_L1], 1);
    EXPECT_TRUE(pushed["directoryVersion"_L1].isNull());

    EXPECT_EQ(run(gpo("pull", guid)).out,
              "Start Menu/Run Dialog: 0\nStart Menu/Retain Recent Documents upon exit: 1\n"_L1);
    EXPECT_EQ(run(gpo("push", u"Default Domain Policy"_s)).status, 1);
    EXPECT_EQ(run(gpo("send", guid)).status, 2);
}

TEST(GptIni, VersionLineAndExtensionLists) {
    const std::optional<GptIni> ini =
        GptIni::parse("; note\r\n[General]\r\ndisplayName=A\r\nversion = 7\r\n", nullptr);
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->version(), 7u);
    EXPECT_EQ(ini->withVersion(65544), "; note\r\n[General]\r\ndisplayName=A\r\nversion = 65544\r\n");
    EXPECT_EQ(GptIni::parse("[General]\r\n", nullptr)->withVersion(1), "[General]\r\nVersion=1\r\n");
    EXPECT_EQ(GptIni::parse("", nullptr)->withVersion(1), "[General]\r\nVersion=1\r\n");
    EXPECT_FALSE(GptIni::parse("[General]\r\nVersion=99999999999\r\n", nullptr));
    EXPECT_FALSE(GptIni::parse(QByteArray("\xFF\xFE[\0", 4), nullptr));
    EXPECT_EQ(ini->displayName(), "A"_L1);
    EXPECT_FALSE(GpoVersion::fromNumber(0xFFFF0001).raised(true, false));
    EXPECT_EQ(GpoVersion::fromNumber(0xFFFF0001).raised(false, true)->number(), 0xFFFF0002u);

    const QString registry =
        u"[{35378EAC-683F-11D2-A89A-0030487E63EF}{D02B1F72-3407-48AE-BA88-E8213C6761F1}]"_s;
    const QString security =
        u"[{827D319E-6EAC-11D2-A4EA-00C04F79F83A}{803E14A0-B4FB-11D0-A0D0-00A0C90F574B}]"_s;
    EXPECT_EQ(withRegistryExtension(QString(), true), registry);
    EXPECT_EQ(withRegistryExtension(security, true), registry + security);
    EXPECT_EQ(withRegistryExtension(registry + security, true), registry + security);
    EXPECT_TRUE(
        withRegistryExtension(registry, false).endsWith("{D02B1F73-3407-48AE-BA88-E8213C6761F1}]"_L1));
}

TEST(GpoDirectory, ReadsSearchResults) {
    const QList<GpoContainer> found = parseGpoLdif(
        "# record 1\ndn: CN={D0314095-D1F7-43B2-BEBE-A0A497E7B5F4},CN=Policies,CN=System,DC=t\n"
        " avimor,DC=test\nname: {d0314095-d1f7-43b2-bebe-a0a497e7b5f4}\ndisplayName:: VMOkc3Q=\n"
        "versionNumber: 65537\n\n# Referral\nref: ldap:///CN=Configuration,DC=tavimor,DC=test\n");
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].dn,
              "CN={D0314095-D1F7-43B2-BEBE-A0A497E7B5F4},CN=Policies,CN=System,DC=tavimor,DC=test"_L1);
    EXPECT_EQ(found[0].guid, "{D0314095-D1F7-43B2-BEBE-A0A497E7B5F4}"_L1);
    EXPECT_EQ(found[0].displayName, u"Täst"_s);
    EXPECT_EQ(found[0].version, 65537u);
    EXPECT_EQ(asGuid(u"Default Domain Policy"_s), QString());
}

} // namespace
} // namespace tavimor::test
