// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavimor::test {
namespace {

class CtlJson : public CtlFixture {
protected:
    // Runs a command with --json and parses its standard output as the one object it must be.
    QJsonObject json(const QStringList& args, int status = 0) {
        const Result r = run(QStringList{QStringLiteral("--json")} + args);
        EXPECT_EQ(r.status, status) << args.join(QLatin1Char(' ')).toStdString() << ": "
                                    << r.err.toStdString();
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        const QJsonObject object = document.object();
        EXPECT_EQ(object[QLatin1String("format")], 1);
        EXPECT_EQ(object[QLatin1String("command")].toString(), args.first()) << r.out.toStdString();
        m_lastErr = r.err;
        return object;
    }
    // The error object a failing command leaves on standard error.
    QJsonObject jsonError(const QStringList& args, int status) {
        const Result r = run(QStringList{QStringLiteral("--json")} + args);
        EXPECT_EQ(r.status, status);
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
        const QJsonObject object = QJsonDocument::fromJson(r.err.toUtf8()).object();
        EXPECT_EQ(object[QLatin1String("format")], 1);
        EXPECT_EQ(object[QLatin1String("status")], status);
        return object;
    }
    QString m_lastErr;
};

TEST_F(CtlJson, BrowsingCommandsGiveNumbersAsNumbers) {
    const QJsonArray sections = json({QStringLiteral("list")})[QLatin1String("sections")].toArray();
    ASSERT_EQ(sections.size(), 7);
    EXPECT_EQ(sections[6].toObject()[QLatin1String("entries")], 21);

    const QJsonObject startMenu = json({QStringLiteral("list"), QStringLiteral("Start Menu")});
    EXPECT_EQ(startMenu[QLatin1String("section")].toObject()[QLatin1String("name")],
              QLatin1String("Start Menu"));
    const QJsonObject row = startMenu[QLatin1String("entries")].toArray()[3].toObject();
    EXPECT_EQ(row[QLatin1String("regname")], QLatin1String("NoRun"));
    EXPECT_EQ(row[QLatin1String("address")], QLatin1String("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]"));
    EXPECT_EQ(row[QLatin1String("machine")], QLatin1String("Enabled"));
    EXPECT_EQ(row[QLatin1String("machineValue")], 0);
    EXPECT_EQ(row[QLatin1String("restart")], true);

    const QJsonObject minPwdLen =
        json({QStringLiteral("show"), QStringLiteral("MinPwdLen")})[QLatin1String("entry")].toObject();
    EXPECT_TRUE(minPwdLen[QLatin1String("workingValue")].isNull()); // "Null"
    EXPECT_TRUE(minPwdLen[QLatin1String("registryValue")].isNull());
    EXPECT_EQ(json({QStringLiteral("show"), QStringLiteral("NoSaveSettings")})[QLatin1String("entry")]
                  .toObject()[QLatin1String("comment")],
              QLatin1String("Doesnot work in Windows 98"));
}

TEST_F(CtlJson, ChangingCommandsSayWhatTheyDid) {
    const QJsonObject set =
        json({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("DISABLED")});
    EXPECT_TRUE(set[QLatin1String("before")].isNull());
    EXPECT_EQ(set[QLatin1String("after")], 1);
    EXPECT_EQ(set[QLatin1String("state")], QLatin1String("Disabled"));
    EXPECT_EQ(set[QLatin1String("restartNeeded")], true);
    EXPECT_EQ(set[QLatin1String("entry")].toObject()[QLatin1String("key")],
              QLatin1String("HKEY_CURRENT_USER"));

    const QJsonObject drives = json({QStringLiteral("drives"), QStringLiteral("A-C")});
    EXPECT_EQ(drives[QLatin1String("mask")], 7);
    EXPECT_EQ(drives[QLatin1String("hidden")].toArray().size(), 3);

    const QJsonObject saved = json({QStringLiteral("save"), path("office.rds")});
    EXPECT_EQ(saved[QLatin1String("entries")], 57);
    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("enabled")}).status, 0);

    const QJsonObject diff = json({QStringLiteral("diff"), path("office.rds")}, 1);
    EXPECT_TRUE(m_lastErr.isEmpty()) << m_lastErr.toStdString(); // something to do is no error
    const QJsonArray changes = diff[QLatin1String("changes")].toArray();
    QJsonObject noRun;
    for (const QJsonValue& change : changes)
        if (change.toObject()[QLatin1String("regname")] == QLatin1String("NoRun"))
            noRun = change.toObject();
    EXPECT_EQ(noRun[QLatin1String("action")], QLatin1String("write"));
    EXPECT_EQ(noRun[QLatin1String("regname")], QLatin1String("NoRun"));
    EXPECT_EQ(noRun[QLatin1String("before")], 0);
    EXPECT_EQ(noRun[QLatin1String("after")], 1);
    const QJsonObject applied = json({QStringLiteral("apply"), path("office.rds")});
    EXPECT_EQ(applied[QLatin1String("written")], diff[QLatin1String("changes")]);
    EXPECT_EQ(applied[QLatin1String("complete")], true);
    const QJsonObject unset =
        json({QStringLiteral("unset"), QStringLiteral("NoRun")})[QLatin1String("changes")]
            .toArray()[0]
            .toObject();
    EXPECT_EQ(unset[QLatin1String("action")], QLatin1String("delete"));
    EXPECT_EQ(unset[QLatin1String("before")], 1);

    EXPECT_TRUE(
        json({QStringLiteral("export-xml"), path("office.rds")})[QLatin1String("xml")].toString().startsWith(
            QLatin1String("<?xml")));
    ASSERT_EQ(run({QStringLiteral("export-xml"), path("office.rds")}).status, 0);
    ASSERT_TRUE(writeFileAtomically(path("c.xml"),
                                    run({QStringLiteral("export-xml"), path("office.rds")}).out.toUtf8()));
    EXPECT_EQ(json({QStringLiteral("import-xml"), path("c.xml"), path("c.rds")})[QLatin1String("sections")],
              7);

    ASSERT_TRUE(writeFileAtomically(path("pw"), "secret\n"));
    EXPECT_EQ(json({QStringLiteral("password"), QStringLiteral("--new-password-file"),
                    path("pw")})[QLatin1String("passwordSet")],
              true);
}

TEST_F(CtlJson, FailuresAreOneObjectOnStandardError) {
    const QJsonObject usage =
        jsonError({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("maybe")}, 2);
    EXPECT_EQ(usage[QLatin1String("command")], QLatin1String("set"));
    EXPECT_EQ(usage[QLatin1String("error")],
              QLatin1String("Start Menu/Run Dialog takes Enabled, Disabled, 0 or 1, not \"maybe\""));
    EXPECT_EQ(jsonError({QStringLiteral("frobnicate")}, 2)[QLatin1String("command")], QJsonValue());
    EXPECT_EQ(jsonError({QStringLiteral("diff"), path("missing.rds")}, 2)[QLatin1String("error")],
              QStringLiteral("%1 does not exist").arg(path("missing.rds")));

    // The problems import-xml finds are the messages of the one object.
    ASSERT_TRUE(writeFileAtomically(
        path("bad.xml"), "<TAVIMOR><REGISTRYSETTINGS Section=\"S\"><ENTRY/></REGISTRYSETTINGS></TAVIMOR>"));
    const QJsonObject import = jsonError({QStringLiteral("import-xml"), path("bad.xml"), path("bad.rds")}, 1);
    EXPECT_FALSE(import[QLatin1String("messages")].toArray().isEmpty());

    ASSERT_TRUE(writeFileAtomically(path("pw"), "secret\n"));
    ASSERT_EQ(run({QStringLiteral("password"), QStringLiteral("--new-password-file"), path("pw")}).status, 0);
    EXPECT_EQ(jsonError({QStringLiteral("list")}, 3)[QLatin1String("command")], QLatin1String("list"));
}

} // namespace
} // namespace tavimor::test
