// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "ctl/GpoDirectory.h"
#include "ctl/GpoTemplate.h"
#include "registry/PolFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavimor::test {
namespace {

const QString kExplorer = QLatin1String(kExplorerPath);
const QString kMachineExplorer =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
const QString kOther = QStringLiteral("Software\\Policies\\Other");

class CtlPolicy : public CtlFixture {
protected:
    QString pol(const QString& folder, const char* half) const {
        return folder + QLatin1Char('/') + QLatin1String(half) + QStringLiteral("/Registry.pol");
    }
    void writePol(const QString& path, const QList<PolRecord>& records) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        PolFile file;
        file.records = records;
        ASSERT_TRUE(writeFileAtomically(path, file.serialize()));
    }
    QList<PolRecord> readPol(const QString& path) {
        const std::optional<QByteArray> bytes = readWholeFile(path, 1 << 20);
        const std::optional<PolFile> file = bytes ? PolFile::parse(*bytes) : std::nullopt;
        EXPECT_TRUE(file) << path.toStdString();
        return file ? file->records : QList<PolRecord>();
    }
    QJsonObject json(const QStringList& args) {
        const Result r = run(QStringList{QStringLiteral("--json")} + args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }
    void set(const char* name, const char* value) {
        ASSERT_EQ(run({QStringLiteral("set"), QLatin1String(name), QLatin1String(value)}).status, 0);
    }
};

TEST_F(CtlPolicy, ExportSplitsTheHivesAndKeepsWhatTheCatalogueDoesNotKnow) {
    set("NoRun", "1");
    set("ClearRecentDocsOnExit", "1");
    const QString dir = path("gpo");
    // Samba names the halves in capitals; an older NoRun as text is replaced where it stood.
    const PolRecord foreign = PolRecord::dwordRecord(kOther, QStringLiteral("X"), 7);
    writePol(pol(dir, "USER"), {foreign,
                                {kExplorer.toLower(), QStringLiteral("NORUN"), REG_SZ, "1\0"},
                                PolRecord::deletion(kOther, QStringLiteral("Y"))});

    const Result r = run({QStringLiteral("export-pol"), dir});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(pol(dir, "User")));
    EXPECT_EQ(readPol(pol(dir, "USER")),
              (QList<PolRecord>{foreign, PolRecord::dwordRecord(kExplorer, QStringLiteral("NoRun"), 1),
                                PolRecord::deletion(kOther, QStringLiteral("Y"))}));
    EXPECT_EQ(readPol(pol(dir, "Machine")),
              QList<PolRecord>{
                  PolRecord::dwordRecord(kMachineExplorer, QStringLiteral("ClearRecentDocsOnExit"), 1)});
    EXPECT_TRUE(r.out.contains(QStringLiteral(
        "Registry.pol (2 values, 1 deletion).\n"
        "  kept, not in the catalogue: HKEY_CURRENT_USER\\Software\\Policies\\Other\\X\n"
        "  kept, not in the catalogue: HKEY_CURRENT_USER\\Software\\Policies\\Other\\**del.Y\n")))
        << r.out.toStdString();
}

TEST_F(CtlPolicy, ExportFromASettingsFileWithDeletionsForWhatIsNotSet) {
    set("NoRun", "1");
    ASSERT_EQ(run({QStringLiteral("save"), path("office.rds")}).status, 0);
    const Result r = run({QStringLiteral("export-pol"), QStringLiteral("--from"), path("office.rds"),
                          QStringLiteral("--delete-unset"), path("gpo")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // The saved file holds the registry's reading: every on/off entry is set; the number entry
    // ("Null") and the drive mask ("") are not.
    const QList<PolRecord> user = readPol(pol(path("gpo"), "User"));
    EXPECT_EQ(user.size(), 53);
    EXPECT_TRUE(user.contains(PolRecord::dwordRecord(kExplorer, QStringLiteral("NoRun"), 1)));
    EXPECT_TRUE(user.contains(PolRecord::deletion(kExplorer, QStringLiteral("NoDrives"))));
    const QList<PolRecord> machine = readPol(pol(path("gpo"), "Machine"));
    EXPECT_TRUE(machine.contains(
        PolRecord::deletion(QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"),
                            QStringLiteral("MinPwdLen"))));

    EXPECT_EQ(run({QStringLiteral("export-pol"), QStringLiteral("--from"), path("missing.rds"), path("gpo2")})
                  .status,
              1);
    EXPECT_FALSE(QFileInfo::exists(path("gpo2")));
}

TEST_F(CtlPolicy, ABrokenFileStopsEverythingAndStaysAsItWas) {
    const QString dir = path("gpo");
    writePol(pol(dir, "User"), {PolRecord::dwordRecord(kOther, QStringLiteral("X"), 1)});
    const QByteArray user = *readWholeFile(pol(dir, "User"), 1 << 20);
    const QByteArray broken = QByteArray("PReg\x01\0\0\0[\0K", 11);
    QDir().mkpath(dir + QStringLiteral("/Machine"));
    ASSERT_TRUE(writeFileAtomically(pol(dir, "Machine"), broken));

    for (const char* command : {"export-pol", "import-pol", "diff", "apply"}) {
        const Result r = run({QLatin1String(command), dir});
        EXPECT_EQ(r.status, QLatin1String(command) == QLatin1String("diff") ? 2 : 1) << command;
        EXPECT_TRUE(
            r.err.contains(QLatin1String("Machine/Registry.pol: the record at byte 8 has no key name")))
            << command << r.err.toStdString();
    }
    EXPECT_EQ(readWholeFile(pol(dir, "User"), 1 << 20), user);
    EXPECT_EQ(readWholeFile(pol(dir, "Machine"), 1 << 20), broken);
    EXPECT_EQ(noRun(), QString());
}

TEST_F(CtlPolicy, AFolderOfPolicyFilesIsReadLikeASettingsFile) {
    const QString dir = path("gpo");
    writePol(pol(dir, "User"), {PolRecord::dwordRecord(kExplorer.toUpper(), QStringLiteral("norun"), 1),
                                PolRecord::deletion(kExplorer, QStringLiteral("NoFind")),
                                {kExplorer, QStringLiteral("NoClose"), REG_SZ, QByteArray("1\0\0\0", 4)},
                                PolRecord::dwordRecord(kOther, QStringLiteral("X"), 1)});

    const Result imported = run({QStringLiteral("import-pol"), dir, path("out.rds")});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out,
              QStringLiteral("Start Menu/Run Dialog: 1\n"
                             "left as it is: HKEY_CURRENT_USER\\%1\\**del.NoFind deletes a value\n"
                             "left as it is: HKEY_CURRENT_USER\\%1\\NoClose is not a REG_DWORD\n"
                             "not in the catalogue: HKEY_CURRENT_USER\\Software\\Policies\\Other\\X\n"
                             "Wrote %2.\n")
                  .arg(kExplorer, path("out.rds")));

    const Result diff = run({QStringLiteral("diff"), dir});
    EXPECT_EQ(diff.status, 1);
    // Only what the files set is written; the settings file made from them says the same with --only-set.
    EXPECT_EQ(diff.out,
              QStringLiteral("Start Menu/Run Dialog: HKEY_CURRENT_USER\\%1\\NoRun: absent -> 1 (restart)\n"
                             "A restart of Windows is needed before this change takes effect.\n")
                  .arg(kExplorer));
    EXPECT_EQ(run({QStringLiteral("diff"), QStringLiteral("--only-set"), path("out.rds")}).out, diff.out);
    const QJsonObject object = json({QStringLiteral("import-pol"), dir});
    EXPECT_EQ(object[QLatin1String("set")].toArray()[0].toObject()[QLatin1String("value")], 1);
    EXPECT_EQ(object[QLatin1String("left")].toArray()[1].toObject()[QLatin1String("reason")],
              QLatin1String("not a REG_DWORD"));
    EXPECT_TRUE(object[QLatin1String("saved")].isNull());
    ASSERT_EQ(run({QStringLiteral("apply"), dir}).status, 0);
    EXPECT_EQ(noRun(), QLatin1String("1"));
    EXPECT_EQ(run({QStringLiteral("diff"), dir}).status, 0);
}

TEST_F(CtlPolicy, GpoPushRaisesTheVersionOfEachHalfThatChanged) {
    const QString guid = QStringLiteral("{31B2F340-016D-11D2-945F-00C04FB984F9}");
    const QString folder = path("sysvol") + QStringLiteral("/example.test/Policies/") + guid;
    QDir().mkpath(folder + QStringLiteral("/MACHINE"));
    ASSERT_TRUE(writeFileAtomically(folder + QStringLiteral("/GPT.INI"), "[General]\r\nVersion=0\r\n"));
    const QStringList push{QStringLiteral("gpo"), QStringLiteral("push"),  QStringLiteral("--sysvol"),
                           path("sysvol"),        QStringLiteral("--gpo"), guid.mid(1, 36).toLower()};
    auto version = [&] {
        return readWholeFile(folder + QStringLiteral("/GPT.INI"), 1024).value_or("?");
    };

    set("NoRun", "1");
    const Result first = run(push);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains(QLatin1String("the directory cannot be updated: no directory was found")));
    EXPECT_TRUE(first.out.contains(
        QLatin1String("GPT.INI version 0 (user 0, machine 0) -> 65536 (user 1, machine 0).\n")));
    EXPECT_EQ(version(), "[General]\r\nVersion=65536\r\n");
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/MACHINE/Registry.pol")));

    EXPECT_TRUE(run(push).out.contains(QLatin1String("GPT.INI version stays 65536")));
    set("ClearRecentDocsOnExit", "1");
    set("NoRun", "0");
    const QJsonObject pushed = json(push);
    EXPECT_EQ(version(), "[General]\r\nVersion=131073\r\n");
    EXPECT_EQ(pushed[QLatin1String("gptVersion")].toObject()[QLatin1String("after")],
              (QJsonObject{{QStringLiteral("number"), 131073},
                           {QStringLiteral("user"), 2},
                           {QStringLiteral("machine"), 1}}));
    const QJsonObject machine = pushed[QLatin1String("files")].toArray()[1].toObject();
    EXPECT_EQ(machine[QLatin1String("scope")], QLatin1String("machine"));
    EXPECT_EQ(machine[QLatin1String("values")], 1);
    EXPECT_TRUE(pushed[QLatin1String("directoryVersion")].isNull());

    const Result pulled = run({QStringLiteral("gpo"), QStringLiteral("pull"), QStringLiteral("--sysvol"),
                               path("sysvol"), QStringLiteral("--gpo"), guid});
    EXPECT_EQ(pulled.out,
              QLatin1String("Start Menu/Run Dialog: 0\nStart Menu/Retain Recent Documents upon exit: 1\n"));
    const QJsonObject pulledJson =
        json({QStringLiteral("gpo"), QStringLiteral("pull"), QStringLiteral("--sysvol"), path("sysvol"),
              QStringLiteral("--gpo"), guid});
    EXPECT_EQ(pulledJson[QLatin1String("set")].toArray()[1].toObject()[QLatin1String("regname")],
              QLatin1String("ClearRecentDocsOnExit"));

    QStringList named = push;
    named.last() = QStringLiteral("Default Domain Policy");
    EXPECT_EQ(run(named).status, 1);
    QStringList wrong = push;
    wrong[1] = QStringLiteral("send");
    EXPECT_EQ(run(wrong).status, 2);
}

TEST(GpoTemplate, VersionLineAndExtensionLists) {
    const std::optional<GptIni> ini =
        GptIni::parse("; note\r\n[General]\r\ndisplayName=A\r\nversion = 7\r\n", nullptr);
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->version(), 7u);
    EXPECT_EQ(ini->withVersion(65544), "; note\r\n[General]\r\ndisplayName=A\r\nversion = 65544\r\n");
    EXPECT_EQ(GptIni::parse("[General]\r\n", nullptr)->withVersion(1), "[General]\r\nVersion=1\r\n");
    EXPECT_EQ(GptIni::parse("", nullptr)->withVersion(1), "[General]\r\nVersion=1\r\n");
    EXPECT_FALSE(GptIni::parse("[General]\r\nVersion=99999999999\r\n", nullptr));
    EXPECT_FALSE(GptIni::parse(QByteArray("\xFF\xFE[\0", 4), nullptr));
    EXPECT_EQ(GpoVersion::fromNumber(0xFFFF0001).raised(true, true).number(), 2u);

    const QString registry =
        QStringLiteral("[{35378EAC-683F-11D2-A89A-0030487E63EF}{D02B1F72-3407-48AE-BA88-E8213C6761F1}]");
    const QString security =
        QStringLiteral("[{827D319E-6EAC-11D2-A4EA-00C04F79F83A}{803E14A0-B4FB-11D0-A0D0-00A0C90F574B}]");
    EXPECT_EQ(withRegistryExtension(QString(), true), registry);
    EXPECT_EQ(withRegistryExtension(security, true), registry + security);
    EXPECT_EQ(withRegistryExtension(registry + security, true), registry + security);
    EXPECT_TRUE(withRegistryExtension(registry, false)
                    .endsWith(QLatin1String("{D02B1F73-3407-48AE-BA88-E8213C6761F1}]")));
}

TEST(GpoDirectory, ReadsSearchResults) {
    const QList<GpoContainer> found = parseGpoLdif(
        "# record 1\ndn: CN={D0314095-D1F7-43B2-BEBE-A0A497E7B5F4},CN=Policies,CN=System,DC=t\n"
        " avimor,DC=test\nname: {d0314095-d1f7-43b2-bebe-a0a497e7b5f4}\ndisplayName:: VMOkc3Q=\n"
        "versionNumber: 65537\n\n# Referral\nref: ldap:///CN=Configuration,DC=tavimor,DC=test\n");
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(
        found[0].dn,
        QLatin1String("CN={D0314095-D1F7-43B2-BEBE-A0A497E7B5F4},CN=Policies,CN=System,DC=tavimor,DC=test"));
    EXPECT_EQ(found[0].guid, QLatin1String("{D0314095-D1F7-43B2-BEBE-A0A497E7B5F4}"));
    EXPECT_EQ(found[0].displayName, QStringLiteral("Täst"));
    EXPECT_EQ(found[0].version, 65537u);
    EXPECT_EQ(asGuid(QStringLiteral("Default Domain Policy")), QString());
}

} // namespace
} // namespace tavimor::test
