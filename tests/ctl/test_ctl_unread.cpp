// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

const QString kNoSoftware = u"no SOFTWARE hive was named"_s;

// An offline Windows given by its NTUSER.DAT alone: HKEY_LOCAL_MACHINE cannot be read, which is not
// the same as holding no policies there.
class CtlUnread : public CtlFixture {
protected:
    CtlUnread() {
        const QString hive = path("NTUSER.DAT");
        EXPECT_TRUE(QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/registry/data/minimal.hiv"), hive));
        QFile::setPermissions(hive, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_vars.insert(u"TAVIMOR_TARGET"_s, u"hive:"_s + hive);
    }
};

TEST_F(CtlUnread, StatesThatCouldNotBeReadShowAsUnknownWithTheReasonOnceAndFail) {
    const Result list = exits(1, "list", "Network");
    EXPECT_TRUE(list.out.contains(QRegularExpression(u"Password Caching +Unknown +Unknown"_s)))
        << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(QRegularExpression(u"Network Setup +Enabled +Enabled"_s)));
    EXPECT_EQ(list.err,
              u"tavimorctl: could not be read (Unknown): 2 entries under HKEY_LOCAL_MACHINE: %1\n"_s.arg(
                  kNoSoftware));

    const Result all = exits(1, "list", "--all");
    EXPECT_EQ(all.err.count(u'\n'), 1) << all.err.toStdString();
    EXPECT_TRUE(all.err.contains(u"3 entries under HKEY_LOCAL_MACHINE"_s)) << all.err.toStdString();

    const Result show = exits(1, "show", "NoFileSharing");
    EXPECT_TRUE(show.out.contains(u"Current Machine Settings: Unknown\n"_s)) << show.out.toStdString();
    EXPECT_TRUE(show.out.contains(u"In the registry: NoFileSharing = unknown\n"_s));

    const QJsonObject state = jsonOut(1, {u"show"_s, u"NoFileSharing"_s})["entry"_L1].toObject();
    EXPECT_EQ(state["machine"_L1].toString(), u"Unknown"_s);
    EXPECT_TRUE(state["machineValue"_L1].isNull());
    EXPECT_EQ(state["machineUnread"_L1].toString(), kNoSoftware);
}

// What was not read is saved as unknown, never as a value; applying such a file, or any file, writes
// what the target has and names once what it has not.
TEST_F(CtlUnread, SaveKeepsUnknownAndApplyWritesTheRestAndNamesTheMissingHiveOnce) {
    const Result save = exits(1, "save", path("office.rds"));
    EXPECT_EQ(save.out, u"Wrote %1.\n"_s.arg(path("office.rds")));
    const QByteArray saved =
        CatalogueFiles::decipherSettingsFile(fileBytes(path("office.rds")), cataloguePassPhrase());
    EXPECT_EQ(saved.count("<CURRENTVALUE Unread=\"no SOFTWARE hive was named\"/>"), 3) << saved.constData();

    ok("set", "NoRun", "1");
    const Result apply = exits(1, "apply", path("office.rds"));
    EXPECT_TRUE(
        apply.out.contains(u"Start Menu/Run Dialog: HKEY_CURRENT_USER\\%1\\NoRun: 1 -> 0 (restart)\n"_s.arg(
            QLatin1String(kExplorerPath))))
        << apply.out.toStdString();
    EXPECT_EQ(apply.err,
              u"tavimorctl: not applied: 4 entries under HKEY_LOCAL_MACHINE: %1\n"_s.arg(kNoSoftware));
    EXPECT_EQ(noRun(), u"0"_s);
    EXPECT_EQ(exits(2, "diff", path("office.rds")).err,
              u"tavimorctl: could not be read, left out: 4 entries under HKEY_LOCAL_MACHINE: %1\n"_s.arg(
                  kNoSoftware));

    // A .reg file of the registry would pass for the whole of it: none is written.
    EXPECT_EQ(fails(1, "export-reg", path("policies.reg")).err.count(u'\n'), 2);
    EXPECT_FALSE(QFile::exists(path("policies.reg")));
}

} // namespace
} // namespace tavimor::test
