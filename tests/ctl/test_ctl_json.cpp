// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

using CtlJson = CtlFixture;

TEST_F(CtlJson, BrowsingCommandsGiveNumbersAsNumbers) {
    const QJsonArray sections = json("list")["sections"_L1].toArray();
    ASSERT_EQ(sections.size(), 7);
    EXPECT_EQ(sections[6].toObject()["entries"_L1], 21);

    const QJsonObject startMenu = json("list", "Start Menu");
    EXPECT_EQ(startMenu["section"_L1].toObject()["name"_L1], "Start Menu"_L1);
    const QJsonObject row = startMenu["entries"_L1].toArray()[3].toObject();
    EXPECT_EQ(row["regname"_L1], "NoRun"_L1);
    EXPECT_EQ(row["address"_L1], "TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]"_L1);
    EXPECT_EQ(row["machine"_L1], "Enabled"_L1);
    EXPECT_EQ(row["machineValue"_L1], 0);
    EXPECT_EQ(row["restart"_L1], true);

    const QJsonObject minPwdLen = json("show", "MinPwdLen")["entry"_L1].toObject();
    EXPECT_TRUE(minPwdLen["workingValue"_L1].isNull()); // "Null"
    EXPECT_TRUE(minPwdLen["registryValue"_L1].isNull());
    EXPECT_EQ(json("show", "NoSaveSettings")["entry"_L1].toObject()["comment"_L1],
              "Doesnot work in Windows 98"_L1);
}

TEST_F(CtlJson, ChangingCommandsSayWhatTheyDid) {
    const QJsonObject set = json("set", "NoRun", "DISABLED");
    EXPECT_TRUE(set["before"_L1].isNull());
    EXPECT_EQ(set["after"_L1], 1);
    EXPECT_EQ(set["state"_L1], "Disabled"_L1);
    EXPECT_EQ(set["restartNeeded"_L1], true);
    EXPECT_EQ(set["changed"_L1], true);
    EXPECT_EQ(set["entry"_L1].toObject()["key"_L1], "HKEY_CURRENT_USER"_L1);
    const QJsonObject again = json("set", "NoRun", "1");
    EXPECT_EQ(std::tuple(again["before"_L1], again["changed"_L1], again["restartNeeded"_L1]),
              std::tuple(QJsonValue(1), QJsonValue(false), QJsonValue(false)));

    const QJsonObject drives = json("drives", "A-C");
    EXPECT_EQ(drives["mask"_L1], 7);
    EXPECT_EQ(drives["hidden"_L1].toArray().size(), 3);

    EXPECT_EQ(json("save", path("office.rds"))["entries"_L1], 57);
    ok("set", "NoRun", "enabled");

    const QJsonObject diff = jsonOut(1, {u"diff"_s, path("office.rds")});
    EXPECT_TRUE(m_lastErr.isEmpty()) << m_lastErr.toStdString(); // something to do is no error
    QJsonObject noRun;
    for (const QJsonValue& change : diff["changes"_L1].toArray())
        if (change.toObject()["regname"_L1] == "NoRun"_L1)
            noRun = change.toObject();
    EXPECT_EQ(noRun["action"_L1], "write"_L1);
    EXPECT_EQ(noRun["before"_L1], 0);
    EXPECT_EQ(noRun["after"_L1], 1);
    const QJsonObject applied = json("apply", path("office.rds"));
    EXPECT_EQ(applied["written"_L1], diff["changes"_L1]);
    EXPECT_EQ(applied["complete"_L1], true);
    const QJsonObject unset = json("unset", "NoRun")["changes"_L1].toArray()[0].toObject();
    EXPECT_EQ(unset["action"_L1], "delete"_L1);
    EXPECT_EQ(unset["before"_L1], 1);

    EXPECT_TRUE(json("export-xml", path("office.rds"))["xml"_L1].toString().startsWith("<?xml"_L1));
    ASSERT_TRUE(writeFileAtomically(path("c.xml"), ctl("export-xml", path("office.rds")).out.toUtf8()));
    EXPECT_EQ(json("import-xml", path("c.xml"), path("c.rds"))["sections"_L1], 7);

    ASSERT_TRUE(writeFileAtomically(path("pw"), "secret\n"));
    EXPECT_EQ(json("password", "--new-password-file", path("pw"))["passwordSet"_L1], true);
    EXPECT_EQ(jsonError(3, "list")["command"_L1], "list"_L1);
}

TEST_F(CtlJson, FailuresAreOneObjectOnStandardError) {
    const QJsonObject usage = jsonError(2, "set", "NoRun", "maybe");
    EXPECT_EQ(usage["command"_L1], "set"_L1);
    EXPECT_EQ(usage["error"_L1],
              QLatin1String("Start Menu/Run Dialog takes Enabled, Disabled, 0 or 1, not \"maybe\""));
    EXPECT_EQ(jsonError(2, "frobnicate")["command"_L1], QJsonValue());
    EXPECT_EQ(jsonError(2, "diff", path("missing.rds"))["error"_L1],
              u"%1 does not exist"_s.arg(path("missing.rds")));

    // The problems import-xml finds are the messages of the one object.
    ASSERT_TRUE(writeFileAtomically(
        path("bad.xml"), "<TAVIMOR><REGISTRYSETTINGS Section=\"S\"><ENTRY/></REGISTRYSETTINGS></TAVIMOR>"));
    const QJsonObject import = jsonError(1, "import-xml", path("bad.xml"), path("bad.rds"));
    EXPECT_FALSE(import["messages"_L1].toArray().isEmpty());
    EXPECT_FALSE(QFile::exists(path("bad.rds")));
}

} // namespace
} // namespace tavimor::test
