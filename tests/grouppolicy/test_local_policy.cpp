// SPDX-License-Identifier: GPL-3.0-or-later
// An offline Windows whose own Group Policy sets a restriction: show says so, and unlocking the
// machine takes the restriction out of the policy file too, so the next policy refresh does not put
// it back. The hive is read back by hivexget, the policy file by Samba's GPPolParser.
#include "catalogue/CatalogueListing.h"
#include "ctl/CtlFixture.h"
#include "grouppolicy/PolFile.h"
#include "grouppolicy/TargetFactory.h"
#include "support/CoreFixture.h"

#include <QProcess>

namespace tavimor::test {
namespace {

const QString kExplorer = QLatin1String(kExplorerPath);
const PolRecord kOther = PolRecord::dwordRecord(u"Software\\Policies\\Other"_s, u"X"_s, 7);

class LocalPolicy : public CtlFixture {
protected:
    LocalPolicy() {
        const QByteArray hive = fileBytes(QStringLiteral(TAVIMOR_TEST_DATA "/minimal.hiv"));
        for (const char* name :
             {"Windows/System32/config/SOFTWARE", "Windows/System32/config/SYSTEM", "Users/ann/NTUSER.DAT"})
            put(root() + u'/' + QLatin1String(name), hive);
        PolFile user;
        user.records = {PolRecord::dwordRecord(kExplorer, u"NoRun"_s, 1), kOther};
        put(userPol(), user.serialize());
        put(gptIni(), "[General]\r\ngPCUserExtensionNames=[{35378EAC-683F-11D2-A89A-0030487E63EF}]"
                      "\r\nVersion=65537\r\n");
        m_vars.insert(u"TAVIMOR_TARGET"_s, u"windows:"_s + root());
    }
    static void put(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        ASSERT_TRUE(writeFileAtomically(path, bytes));
    }
    QString root() const { return path("disk"); }
    QString userPol() const { return root() + u"/Windows/System32/GroupPolicy/User/Registry.pol"_s; }
    QString gptIni() const { return root() + u"/Windows/System32/GroupPolicy/gpt.ini"_s; }
    QString hive(const char* value) const {
        const ToolRun run =
            runTool(u"hivexget"_s, {root() + u"/Users/ann/NTUSER.DAT"_s, kExplorer, arg(value)});
        return run.exitCode == 0 ? run.output.trimmed() : u"<missing>"_s;
    }
    QList<PolRecord> records() const { return PolFile::parse(fileBytes(userPol()))->records; }
};

TEST_F(LocalPolicy, UnlockingTheDiskTakesTheRestrictionOutOfItsGroupPolicy) {
    EXPECT_TRUE(ok("show", "NoRun")
                    .out.contains(u"In the registry: NoRun = absent\nLocal Group Policy: %1 sets NoRun = 1; "
                                  u"Windows sets it again at "
                                  "every policy refresh\n"_s.arg(userPol())));
    EXPECT_FALSE(ok("show", "NoFind").out.contains("Local Group Policy"_L1));

    // Enable: the hive and the policy file both say 0; the user half of gpt.ini's version goes up.
    ok("set", "NoRun", "0");
    EXPECT_EQ(hive("NoRun"), "0"_L1);
    EXPECT_EQ(records(), (QList<PolRecord>{PolRecord::dwordRecord(kExplorer, u"NoRun"_s, 0), kOther}));
    EXPECT_TRUE(fileBytes(gptIni()).endsWith("\r\nVersion=131073\r\n"));

    // A value the policy does not speak of is the hive's alone.
    const QByteArray pol = fileBytes(userPol());
    ok("set", "NoFind", "1");
    EXPECT_EQ(hive("NoFind"), "1"_L1);
    EXPECT_EQ(fileBytes(userPol()), pol);
    EXPECT_TRUE(fileBytes(gptIni()).endsWith("\r\nVersion=131073\r\n"));

    ok("unset", "NoRun");
    EXPECT_EQ(hive("NoRun"), "<missing>"_L1);
    EXPECT_EQ(records(), QList<PolRecord>{kOther});
    EXPECT_TRUE(fileBytes(gptIni()).endsWith("\r\nVersion=196609\r\n"));
    EXPECT_FALSE(ok("show", "NoRun").out.contains("Local Group Policy"_L1));

    QProcess samba;
    samba.start(QStringLiteral(TAVIMOR_SAMBA_PYTHON),
                {QStringLiteral(TAVIMOR_GP_POL_HELPER), u"read"_s, userPol()});
    if (!samba.waitForFinished(120000) || samba.exitCode() != 0)
        GTEST_SKIP() << "Samba's GPPolParser cannot read it here (python3-samba)";
    EXPECT_EQ(samba.readAllStandardOutput(),
              R"([{"key": "Software\\Policies\\Other", "name": "X", "type": 4, "value": 7}])");
}

// The window's list marks the row whose value the policy sets, and its hint names the file.
TEST_F(LocalPolicy, TheWindowsListNotesWhatThePolicySets) {
    QString error;
    const std::unique_ptr<RegistryBackend> backend = openTarget(u"windows:"_s + root(), &error);
    ASSERT_TRUE(backend) << error.toStdString();
    ScriptedPrompter prompter;
    RecordingErrorHandler errors;
    SettingsStore settings(path("window-settings"));
    ProgramContext context(*backend, prompter, settings, errors, path("window-program"));
    context.workingCatalogue.loadXML(builtinCatalogueText());
    context.machineCatalogue.loadXML(builtinCatalogueText());
    const QHash<QString, QString> notes =
        policyNotes(context, listRows(context, u"TAVIMOR/REGISTRYSETTINGS[4]"_s));
    QStringList noted;
    for (auto note = notes.cbegin(); note != notes.cend(); ++note)
        noted.append(note.key() + u": "_s + note.value());
    EXPECT_EQ(noted, QStringList{kRunDialog + u": Local Group Policy: %1 sets NoRun = 1; Windows sets it "
                                              "again at every policy refresh"_s.arg(userPol())});
}

// A policy file that cannot be read may set anything: show says so and fails, and no write is made.
TEST_F(LocalPolicy, APolicyFileThatCannotBeReadStopsWritesAndIsNamed) {
    ok("set", "NoFind", "1");
    const QByteArray broken("PReg\x01\0\0\0[\0K", 11);
    put(userPol(), broken);
    const QByteArray ntuser = fileBytes(root() + u"/Users/ann/NTUSER.DAT"_s);

    const Result shown = exits(1, "show", "NoRun");
    EXPECT_TRUE(shown.out.contains(
        u"Local Group Policy: what it sets is not known: %1: the record at byte 8"_s.arg(userPol())))
        << shown.out.toStdString();
    for (const char* command : {"set", "unset"}) {
        const Result r =
            QLatin1String(command) == "set"_L1 ? ctl(command, "NoFind", "0") : ctl(command, "NoFind");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_TRUE(r.err.contains(userPol() + u": the record at byte 8"_s)) << r.err.toStdString();
    }
    EXPECT_EQ(fileBytes(root() + u"/Users/ann/NTUSER.DAT"_s), ntuser);
    EXPECT_EQ(fileBytes(userPol()), broken);
    EXPECT_EQ(hive("NoFind"), "1"_L1);
}

} // namespace
} // namespace tavimor::test
